#include "disc/Assignment.h"

#include <cstdlib>
#include <limits>

namespace Vantrel {

namespace {

// A cost compared first by length difference, then by which tracks and
// files are paired (the earliest ones), then by how they are paired (the
// earlier file to the earlier track); the assignment minimises all three,
// in that order.
struct Cost {
    long long difference = 0;
    long long choice = 0;
    long long order = 0;

    Cost operator+(const Cost& other) const {
        return {difference + other.difference, choice + other.choice, order + other.order};
    }
    Cost operator-(const Cost& other) const {
        return {difference - other.difference, choice - other.choice, order - other.order};
    }
    bool operator<(const Cost& other) const {
        if (difference != other.difference)
            return difference < other.difference;
        return choice != other.choice ? choice < other.choice : order < other.order;
    }
};

const Cost UNREACHED{std::numeric_limits<long long>::max() / 4, 0, 0};

// The Hungarian method over rows 1..n and columns 1..m, n <= m (row and
// column 0 are the method's own): returns, for each column, its row or 0.
template <typename CostOf>
std::vector<std::size_t> assignRows(std::size_t n, std::size_t m, CostOf costOf) {
    std::vector<Cost> rowPotential(n + 1), columnPotential(m + 1);
    std::vector<std::size_t> rowOf(m + 1, 0), previous(m + 1, 0);
    for (std::size_t row = 1; row <= n; ++row) {
        rowOf[0] = row;
        std::size_t column = 0;
        std::vector<Cost> slack(m + 1, UNREACHED);
        std::vector<bool> visited(m + 1, false);
        do {
            visited[column] = true;
            const std::size_t current = rowOf[column];
            Cost step = UNREACHED;
            std::size_t next = 0;
            for (std::size_t j = 1; j <= m; ++j) {
                if (visited[j])
                    continue;
                const Cost reduced = costOf(current, j) - rowPotential[current] - columnPotential[j];
                if (reduced < slack[j]) {
                    slack[j] = reduced;
                    previous[j] = column;
                }
                if (slack[j] < step) {
                    step = slack[j];
                    next = j;
                }
            }
            for (std::size_t j = 0; j <= m; ++j) {
                if (visited[j]) {
                    rowPotential[rowOf[j]] = rowPotential[rowOf[j]] + step;
                    columnPotential[j] = columnPotential[j] - step;
                } else {
                    slack[j] = slack[j] - step;
                }
            }
            column = next;
        } while (rowOf[column] != 0);
        while (column != 0) {
            const std::size_t before = previous[column];
            rowOf[column] = rowOf[before];
            column = before;
        }
    }
    return rowOf;
}

} // namespace

std::vector<int> assignByLength(const std::vector<long long>& trackLengths, const std::vector<long long>& fileLengths) {
    const std::size_t tracks = trackLengths.size();
    const std::size_t files = fileLengths.size();
    // Of the longer list only some entries are paired: the smallest sum of
    // positions chooses the earliest. Of pairings of the same entries, the
    // smallest sum of these products pairs them in order (the rearrangement
    // inequality: file positions rise as track weights fall).
    const auto cost = [&](std::size_t track, std::size_t file) {
        return Cost{std::llabs(trackLengths[track] - fileLengths[file]), static_cast<long long>(track + file),
                    static_cast<long long>((file + 1) * (tracks - track))};
    };
    std::vector<int> fileOfTrack(tracks, -1);
    if (tracks <= files) {
        const std::vector<std::size_t> trackOf =
            assignRows(tracks, files, [&](std::size_t row, std::size_t column) { return cost(row - 1, column - 1); });
        for (std::size_t file = 1; file <= files; ++file)
            if (trackOf[file] != 0)
                fileOfTrack[trackOf[file] - 1] = static_cast<int>(file - 1);
    } else {
        const std::vector<std::size_t> fileOf =
            assignRows(files, tracks, [&](std::size_t row, std::size_t column) { return cost(column - 1, row - 1); });
        for (std::size_t track = 1; track <= tracks; ++track)
            if (fileOf[track] != 0)
                fileOfTrack[track - 1] = static_cast<int>(fileOf[track] - 1);
    }
    return fileOfTrack;
}

} // namespace Vantrel
