// seed_data PROGRAM_FOLDER: prints the data folder the programs in PROGRAM_FOLDER use,
// after putting the initial databases there when they are missing.
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: seed_data PROGRAM_FOLDER\n";
    return 2;
  }
  const std::string programFolder = argv[1];
  const std::string dataFolder = ar::GetDataFolder(programFolder, "/var/lib/autoresponder");
  ar::CreateDataSubfolders(dataFolder);
  const std::string copied = ar::SeedDatabases(programFolder, dataFolder);
  for (const char* name : {"/autoresponder.sto", "/subscribers.sto"})
    if (!ar::FileExists(dataFolder + name)) {
      std::cerr << "seed_data: cannot put " << dataFolder << name << " in place\n";
      return 1;
    }
  if (!copied.empty()) std::cerr << "seed_data: copied " << copied << " into " << dataFolder << "\n";
  std::cout << dataFolder << "\n";
  return 0;
}
