// The settings loader on any baza.set: a load either reads the seven settings or shows its error and
// aborts; what was read saves, reads back as written (as the profile file reads a written line), goes
// into the registry value; and the backup made before puts the file back byte for byte.
#include "FuzzCheck.h"
#include "FakeUi.h"
#include "core/Exception.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "platform/Registry.h"
#include "settings/LokalizacjaBazyFile.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string gDir;

std::string ReadBack(const std::string& value) {
    return platform::TProfileText::Parse("[S]\nK=" + value + "\n").ReadString("S", "K", "");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/zelwan-fuzz-settings-XXXXXX";
    if (!::mkdtemp(dir))
        FuzzFail("no temporary directory");
    gDir = dir;
    ::setenv("ZELWAN_REGISTRY_USER", (gDir + "/user.reg").c_str(), 1);
    platform::TRegistry registry;
    FuzzCheck(registry.OpenKey("\\Software\\VRL", true), "the registry key cannot be made");
    std::atexit([] { std::system(("rm -rf '" + gDir + "'").c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string bytes(FuzzBytes(data, size));
    const std::string file = gDir + "/baza.set";
    FuzzCheck(platform::WriteFileAtomic(file, bytes), "the settings file cannot be written");
    TFakeUi ui;
    TLokalizacjaBazyFile settings(file);
    settings.MakeBackup();
    try {
        settings.Load();
    } catch (const EAbort&) {
        FuzzCheck(ui.Windows.size() == 1, "a load aborted without its error window");
        return 0;
    }
    FuzzCheck(ui.Windows.empty(), "a load that went through showed a window");
    try {
        settings.Save();
    } catch (const Exception& e) {
        FuzzFail(std::string("the settings read do not save: ") + e.what());
    }
    TLokalizacjaBazyFile again(file);
    again.Load();
    FuzzCheck(again.RemoteSerwer() == settings.RemoteSerwer() && again.ProtocolName() == settings.ProtocolName(),
              "the switches read back otherwise");
    const std::pair<std::string, std::string> texts[] = {
        {again.SerwerName(), settings.SerwerName()}, {again.DatabaseDir(), settings.DatabaseDir()},
        {again.SharedDir, settings.SharedDir}, {again.ProfileDir, settings.ProfileDir},
        {again.DatabaseFileExt, settings.DatabaseFileExt}};
    for (const auto& [read, written] : texts)
        if (!written.empty() && read != ReadBack(written))
            FuzzFail("\"" + written + "\" saved reads back as \"" + read + "\"");
    platform::TRegistry registry;
    FuzzCheck(registry.OpenKey("\\Software\\VRL", false) && registry.ReadString("sciezka_baza") ==
                                                                 settings.LocationString(),
              "the registry value is not the saved location");
    settings.RestoreFromBackup();
    FuzzCheck(platform::ReadFile(file) == bytes, "the backup did not put the file back as it was");
    return 0;
}
