// The refusal of a special file (a FIFO, device, folder or link where a
// regular file was wanted), remembered so that LastErrorText can say what
// happened rather than what errno's table says. Private to platform/files;
// both halves of the seam share it.
#pragma once

namespace tarn::files::detail {

// Sets errno to `error` and remembers it as a refusal.
void Refuse(int error);
// Forgets the last refusal (at the start of every open).
void ClearRefusal();

}  // namespace tarn::files::detail
