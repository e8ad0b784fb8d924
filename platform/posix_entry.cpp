// Load and unload hooks of the Linux shared object, standing in for the DLL entry point.
#include "platform/library_entry.h"

#include <cstdlib>

namespace {

bool processExiting = false;

// exit() runs the handlers registered with atexit before it finalises libraries; dlclose
// finalises the library first. So the flag tells the two apart in the destructor below.
void MarkProcessExiting() {
    processExiting = true;
}

__attribute__((constructor)) void AttachLibrary() {
    std::atexit(MarkProcessExiting);
    velqa3::OnLibraryAttach();
}

__attribute__((destructor)) void DetachLibrary() {
    velqa3::OnLibraryDetach(processExiting);
}

} // namespace
