// Builds an SQLite reference database from its SQL source: verdalia-mkdb OUT.db IN.sql...
// The database is written to a temporary file and renamed, so a failed build leaves none.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <sqlite3.h>

int main(int argc, char **argv) {
  if (argc < 3) {
    std::cerr << "usage: verdalia-mkdb OUT.db IN.sql...\n";
    return 64;
  }
  const std::string out = argv[1];
  const std::string temp = out + ".tmp";
  std::remove(temp.c_str());
  sqlite3 *db = nullptr;
  if (sqlite3_open(temp.c_str(), &db) != SQLITE_OK) {
    std::cerr << "verdalia-mkdb: " << temp << ": " << sqlite3_errmsg(db) << "\n";
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::cerr << "verdalia-mkdb: cannot read " << argv[i] << "\n";
      sqlite3_close(db);
      std::remove(temp.c_str());
      return 1;
    }
    std::ostringstream sql;
    sql << in.rdbuf();
    char *error = nullptr;
    if (sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::cerr << "verdalia-mkdb: " << argv[i] << ": " << (error ? error : "error") << "\n";
      sqlite3_free(error);
      sqlite3_close(db);
      std::remove(temp.c_str());
      return 1;
    }
  }
  sqlite3_close(db);
  if (std::rename(temp.c_str(), out.c_str()) != 0) {
    std::perror("verdalia-mkdb: rename");
    return 1;
  }
  return 0;
}
