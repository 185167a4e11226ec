// The INI files of the demo station: the backup settings pointing at the demo's folders, the
// suite's configuration file, and the suite's "KS3_Systeme.ini" of the server and of the
// backup machine with their data folders and station names.
#pragma once

namespace ks {
class IniAccess;
struct DateTime;
}  // namespace ks

namespace ks::demo {

struct DemoFolders;

// The name of the suite's system file in both configuration folders.
inline constexpr const char* kSystemFileName = "KS3_Systeme.ini";

// Writes the settings. The folders and data folders are always rewritten (the demo folder may
// have moved), and so is the last load, a day before `today`, so that the program loads the
// new data as soon as it starts; the load period, the stations and the second set keep what
// the operator chose in the options window since the last run. A value that cannot be
// stored throws ks::Failure.
void WriteDemoSettings(IniAccess& ini, const DemoFolders& folders, const DateTime& today);

}  // namespace ks::demo
