// What the library does when the operating system attaches it to or detaches it from a
// process. The plug-in defines these; the platform's entry point calls them.
#pragma once

namespace velqa3 {

void OnLibraryAttach();
// processExiting: the whole process is ending, so other libraries may already be gone and
// must not be called into.
void OnLibraryDetach(bool processExiting);

} // namespace velqa3
