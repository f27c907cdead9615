#ifndef VANTREL_SYSTEM_H
#define VANTREL_SYSTEM_H

// Process set-up that every command needs before it touches files or sockets.
void prepareProcess();

#endif
