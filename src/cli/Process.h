#ifndef VANTREL_CLI_PROCESS_H
#define VANTREL_CLI_PROCESS_H

// Process set-up that every command needs before it touches files or sockets.
void prepareProcess();

#endif
