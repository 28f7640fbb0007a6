#pragma once
// Where the programs find their files. Paths are built as folder + "/name"; the folder
// text never ends with "/".
#include <string>

namespace ar {

// Folder of the running executable.
std::string ProgramFolder();

// The data folder, in this order: the program folder when it holds autoresponder.sto;
// $AUTORESPONDER_DATA (created when missing); /var/lib/autoresponder when it exists or
// can be created and is writable; $XDG_DATA_HOME/autoresponder (~/.local/share/...).
std::string GetDataFolder();
// The same rule with the program folder and the system folder given (for tests).
std::string GetDataFolder(const std::string& programFolder, const std::string& systemFolder);

// The subfolders the control program creates at each start.
void CreateDataSubfolders(const std::string& dataFolder);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Creates a folder and its missing parents; false when it does not exist afterwards.
bool MakeFolders(const std::string& path);

}  // namespace ar
