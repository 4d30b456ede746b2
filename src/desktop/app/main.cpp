// QBXSolo: the two-role card task. The program reads no command line; all
// settings come from the setup directory below the working directory.

#include "desktop/app/Startup.h"

int main(int argc, char** argv) { return qbx::runQbxSolo(argc, argv); }
