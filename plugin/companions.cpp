#include "plugin/companions.h"

#include "config/paths.h"

#include <cstring>

namespace velqa3 {

namespace {

constexpr const char* kNorvelidMissing = "Norvelid！プラグインが見つかりませんでした";
constexpr const char* kLoadCaption = "ATS-PTプラグイン読み込み";

template <typename Fn> Fn Entry(platform::Library library, const char* name) {
    return reinterpret_cast<Fn>(platform::ResolveEntry(library, name));
}

// The library stem followed by this platform's extension, in the plug-in's folder.
bool Load(Companion& companion, const char* modulePath, const char* stem) {
    char fileName[32];
    std::strcpy(fileName, stem);
    std::strcat(fileName, platform::LibraryExtension());
    char path[kPathSize];
    if (!FolderPath(modulePath, fileName, path)) return false;
    companion.library = platform::OpenLibrary(path);
    if (companion.library == nullptr) return false;
    const platform::Library library = companion.library;
    companion.load = Entry<LoadFn>(library, "Load");
    companion.dispose = Entry<DisposeFn>(library, "Dispose");
    companion.setVehicleSpec = Entry<SetVehicleSpecFn>(library, "SetVehicleSpec");
    companion.initialize = Entry<InitializeFn>(library, "Initialize");
    companion.elapse = Entry<ElapseFn>(library, "Elapse");
    companion.keyDown = Entry<IntInputFn>(library, "KeyDown");
    companion.keyUp = Entry<IntInputFn>(library, "KeyUp");
    return true;
}

void Unload(Companion& companion) {
    if (companion.library == nullptr) return;
    if (companion.dispose != nullptr) companion.dispose();
    platform::CloseLibrary(companion.library);
    companion = Companion{};
}

} // namespace

void LoadCompanions(Companions& companions, std::uint8_t enabled, const char* modulePath) {
    if ((enabled & CompanionBits::Norvelid) != 0 &&
        !Load(companions.norvelid, modulePath, "Norvelid"))
        platform::ShowMessage(kNorvelidMissing, kLoadCaption);
    if ((enabled & CompanionBits::Tameo) != 0) Load(companions.tameo, modulePath, "Tameo");
}

void CompanionLoad(const Companion& companion) {
    if (companion.load != nullptr) companion.load();
}

void CompanionSetVehicleSpec(const Companion& companion, const VehicleSpec& spec) {
    if (companion.setVehicleSpec != nullptr) companion.setVehicleSpec(spec);
}

void CompanionInitialize(const Companion& companion, std::int32_t brakePosition) {
    if (companion.initialize != nullptr) companion.initialize(brakePosition);
}

void CompanionElapse(const Companion& companion, const VehicleState& state, std::int32_t* panel,
                     std::int32_t* sound) {
    if (companion.elapse != nullptr) companion.elapse(state, panel, sound);
}

void UnloadCompanions(Companions& companions) {
    Unload(companions.norvelid);
    Unload(companions.tameo);
}

} // namespace velqa3
