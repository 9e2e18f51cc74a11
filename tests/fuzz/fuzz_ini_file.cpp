// Fuzz target: the settings file. Whatever it holds, the two settings the
// node reads come out as a value or their default.
#include "FuzzSupport.h"

#include "app/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CIniFile ini(fuzz::CScratch::Get().Write("pelmar.ini", fuzz::Text(data, size)));
    ini.GetInt("Network", "Port", 6340);
    const std::string mode = ini.GetString("Servent", "CacheMode", "Disable");
    fuzz::Check(mode.size() <= size || mode == "Disable");
    ini.GetInt("servent", "cachemode", 7);
    return 0;
}
