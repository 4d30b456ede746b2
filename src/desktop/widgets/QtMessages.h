#pragma once
// Qt's own messages on standard error, as the programs pass them on.

namespace qbx {

// Leaves out the one message Qt writes when the session names no runtime
// folder (XDG_RUNTIME_DIR unset, as for an export over ssh or from cron):
// Qt then takes a folder of its own under the temporary folder, which it
// makes or checks to be the user's alone and private, and there is nothing
// for the user to do. A folder that fails that check is still told, and
// every other message goes on as before. Call before the QApplication.
void installQtMessageFilter();

}  // namespace qbx
