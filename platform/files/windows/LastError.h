// The errno that the last failed Windows call stands for, as the C runtime
// would set it: the one table both Windows halves of the file seam report
// through (private to platform/files).
#pragma once

namespace tarn::files::detail {

// errno for GetLastError(); EIO for what has no closer match.
int ErrnoOfLastError();

}  // namespace tarn::files::detail
