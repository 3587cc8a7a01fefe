#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/session.h"
#include "reports/error_list_writer.h"
#include "robustness/child_process.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

using testing::ChildOptions;
using testing::ChildRun;
using testing::Generate;
using testing::ReadBytes;
using testing::RunCliChild;
using testing::TempDir;

// What a file is, as far as a program that must never write it could change it: its bytes
// (kept whole and hashed, so a failure names a short value), size, permissions and times.
struct Fingerprint {
  std::size_t hash = 0;
  std::string bytes;
  std::uintmax_t size = 0;
  mode_t mode = 0;
  long long modified_ns = 0;

  bool operator==(const Fingerprint &) const = default;
};

Fingerprint FingerprintOf(const std::string &path) {
  Fingerprint print;
  print.bytes = ReadBytes(path);
  print.hash = std::hash<std::string>{}(print.bytes);
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    print.size = static_cast<std::uintmax_t>(info.st_size);
    print.mode = info.st_mode;
    print.modified_ns = info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec;
  }
  return print;
}

void PrintTo(const Fingerprint &print, std::ostream *out) {
  *out << "{hash " << print.hash << ", " << print.size << " bytes, mode " << std::oct << print.mode
       << std::dec << ", modified " << print.modified_ns << "}";
}

std::set<std::string> NamesIn(const std::filesystem::path &folder) {
  std::set<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A data file and a copy of the shipped database in folders of their own, so that any file
// a run leaves behind (a journal, a temporary list) shows.
struct Inputs {
  TempDir data_dir;
  TempDir db_dir;
  std::string data;
  std::string db;
};

void Prepare(Inputs &in, const std::string &name, const std::vector<std::string> &gen_args) {
  in.data = Generate(in.data_dir, name, gen_args);
  in.db = (in.db_dir.path() / "verdalia7.db").string();
  std::filesystem::copy_file(VERDALIA_REFERENCE_DB, in.db);
}

struct RunKind {
  const char *name;
  // Runs against the inputs; returns the list files the run may write, by name.
  std::function<std::set<std::string>(const Inputs &, const std::string &name)> run;
};

TEST(NothingLost, NoRunEverWritesTheDataFileOrTheDatabase) {
  const RunKind runs[] = {
      {"physical",
       [](const Inputs &in, const std::string &name) {
         Session session(LoadReferenceData(in.db));
         session.RunPhysical(in.data_dir.path().string(), name);
         return std::set<std::string>{};
       }},
      {"physical and logical, twice",
       [](const Inputs &in, const std::string &name) {
         Session session(LoadReferenceData(in.db));
         for (int i = 0; i < 2; ++i) {
           session.RunPhysical(in.data_dir.path().string(), name);
           session.RunLogical(in.data_dir.path().string(), name);
         }
         return std::set<std::string>{};
       }},
      {"both lists saved",
       [](const Inputs &in, const std::string &name) {
         Session session(LoadReferenceData(in.db));
         const std::string folder = in.data_dir.path().string();
         session.RunPhysical(folder, name);
         session.RunLogical(folder, name);
         EXPECT_TRUE(
             SaveErrorList(ErrorListPath(folder, name, ListKind::Physical), session.PhysicalList())
                 .ok);
         EXPECT_TRUE(
             SaveErrorList(ErrorListPath(folder, name, ListKind::Logical), session.LogicalList())
                 .ok);
         return std::set<std::string>{name + ".err.fisico", name + ".err.logico"};
       }},
      {"command line, json",
       [](const Inputs &in, const std::string &name) {
         ChildOptions options;
         options.folder = in.data_dir.path().string();
         const ChildRun cli =
             RunCliChild({"check", "--db", in.db, "--format", "json", name}, options);
         EXPECT_TRUE(cli.status == 0 || cli.status == 1) << cli.err;
         return std::set<std::string>{};
       }},
      {"command line, saving",
       [](const Inputs &in, const std::string &name) {
         ChildOptions options;
         options.folder = in.data_dir.path().string();
         const ChildRun cli = RunCliChild({"check", "--db", in.db, "--save", name}, options);
         EXPECT_TRUE(cli.status == 0 || cli.status == 1) << cli.err;
         return std::set<std::string>{name + ".err.fisico", name + ".err.logico"};
       }},
  };
  struct File {
    const char *name;
    std::vector<std::string> gen_args;
  } files[] = {
      {"P202401.txt", {"--records", "30"}},
      {"S202401.txt", {"--records", "30", "--logical-faults", "0.5"}},
      {"D202401.txt", {"--records", "30", "--physical-faults", "0.3"}},
  };
  for (const RunKind &run : runs) {
    for (const File &file : files) {
      SCOPED_TRACE(std::string(run.name) + ", " + file.name);
      Inputs in;
      Prepare(in, file.name, file.gen_args);
      const Fingerprint data_before = FingerprintOf(in.data);
      const Fingerprint db_before = FingerprintOf(in.db);
      const auto data_names = NamesIn(in.data_dir.path());
      const auto db_names = NamesIn(in.db_dir.path());

      const std::set<std::string> may_write = run.run(in, file.name);

      EXPECT_EQ(FingerprintOf(in.data), data_before);
      EXPECT_EQ(FingerprintOf(in.db), db_before);
      EXPECT_EQ(NamesIn(in.db_dir.path()), db_names);
      for (const std::string &written : NamesIn(in.data_dir.path())) {
        EXPECT_TRUE(data_names.contains(written) || may_write.contains(written)) << written;
      }
    }
  }
}

TEST(NothingLost, ADatabaseNobodyMayWriteServesEveryRun) {
  Inputs in;
  Prepare(in, "P202401.txt", {"--records", "20"});
  ::chmod(in.db.c_str(), 0444);
  ::chmod(in.db_dir.path().c_str(), 0555);
  ::chmod(in.data.c_str(), 0444);
  ChildOptions options;
  options.folder = in.data_dir.path().string();
  options.unprivileged = true;
  const ChildRun run = RunCliChild({"check", "--db", in.db, "P202401.txt"}, options);
  EXPECT_EQ(run.status, 0) << run.err;
}

// An earlier list, then a save that fails on the way: the earlier list must survive whole.
struct FailedSave {
  const char *name;
  ChildOptions options;
};

TEST(NothingLost, ASaveThatFailsKeepsThePreviousListsWhole) {
  std::vector<FailedSave> cases;
  {
    FailedSave full_disk{"disk full half-way", {}};
    full_disk.options.file_size_limit = 2048; // the new lists are longer than that
    cases.push_back(full_disk);
  }
  {
    FailedSave read_only{"folder not writable", {}};
    read_only.options.unprivileged = true;
    cases.push_back(read_only);
  }
  for (FailedSave &c : cases) {
    SCOPED_TRACE(c.name);
    Inputs in;
    Prepare(in, "S202401.txt", {"--records", "60", "--physical-faults", "1"});
    const std::string folder = in.data_dir.path().string();
    const std::string fisico = in.data + ".err.fisico";
    const std::string logico = in.data + ".err.logico";
    const std::string old_list = "1\t\tError. Lista anterior\r\n";
    in.data_dir.Write("S202401.txt.err.fisico", old_list);
    in.data_dir.Write("S202401.txt.err.logico", old_list);
    const auto names = NamesIn(in.data_dir.path());
    const Fingerprint data_before = FingerprintOf(in.data);

    c.options.folder = folder;
    if (c.options.unprivileged) {
      ::chmod(folder.c_str(), 0555);
    }
    const ChildRun run = RunCliChild({"check", "--db", in.db, "--save", "S202401.txt"}, c.options);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("no se pudo guardar ./S202401.txt.err.fisico"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(fisico), old_list);
    EXPECT_EQ(ReadBytes(logico), old_list);
    EXPECT_EQ(NamesIn(in.data_dir.path()), names); // no temporary file left behind
    EXPECT_EQ(FingerprintOf(in.data), data_before);
  }
}

} // namespace
} // namespace verdalia
