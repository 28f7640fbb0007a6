// Writes autoresponder.tem and subscribers.tem into the given folder.
#include "store/Schema.h"

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_tem FOLDER\n";
    return 2;
  }
  const std::string folder = argv[1];
  try {
    {
      ar::Connection config = ar::CreateDatabaseFile(folder + "/autoresponder.tem");
      ar::CreateAutoresponderSchema(config);
      config.Scalar("PRAGMA journal_mode=DELETE");  // one self-contained file
    }
    {
      ar::Connection subscribers = ar::CreateDatabaseFile(folder + "/subscribers.tem");
      ar::CreateSubscribersSchema(subscribers);
      subscribers.Scalar("PRAGMA journal_mode=DELETE");
    }
  } catch (const std::exception& e) {
    std::cerr << "make_tem: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
