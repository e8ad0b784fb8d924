// The DLL entry point of the Windows plug-in.
#include "platform/library_entry.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) velqa3::OnLibraryAttach();
    // A non-null reserved pointer means the process is terminating rather than the host
    // unloading the library.
    if (reason == DLL_PROCESS_DETACH) velqa3::OnLibraryDetach(reserved != nullptr);
    return TRUE;
}
