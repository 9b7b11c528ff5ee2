// Helpers of the real-PPD test: collecting third-party PPD files (a CUPS driver program's
// archive and a folder of shipped PPDs) into a temporary folder as plain PPD text.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace realppd {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts `argv` with its standard output written to `out`; the child's id, or -1.
inline pid_t Spawn(const std::vector<std::string>& argv, const fs::path& out) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// True when the child exited with status 0.
inline bool WaitOK(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline bool IsGzip(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char magic[2] = {0, 0};
  in.read(reinterpret_cast<char*>(magic), 2);
  return in.gcount() == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

// Writes the decompressed content of the gzip file `from` to `to`; false on a bad stream.
inline bool Gunzip(const fs::path& from, const fs::path& to) {
  gzFile in = gzopen(from.c_str(), "rb");
  if (in == nullptr) return false;
  std::ofstream out(to, std::ios::binary);
  char buffer[65536];
  int count = 0;
  while ((count = gzread(in, buffer, sizeof buffer)) > 0) out.write(buffer, count);
  const bool ok = count == 0 && gzclose(in) == Z_OK;
  if (count != 0) gzclose(in);
  return ok && out.good();
}

// Leaves a plain PPD at `path`: a gzip-compressed file is replaced by its content.
inline bool Decompress(const fs::path& path) {
  if (!IsGzip(path)) return true;
  const fs::path plain = path.string() + ".plain";
  if (!Gunzip(path, plain)) return false;
  fs::rename(plain, path);
  return true;
}

// The result of collecting files: the PPD paths, or what went wrong.
struct Collected {
  std::vector<fs::path> files;
  std::string problem;  // empty when every file was collected
};

// The PPD URIs that a CUPS driver program lists (`driver list`), one per PPD: the program lists a
// PPD once per device id it serves ("name:0/path", "name:1/path"), and `cat` reads the same PPD
// for each of them.
inline std::vector<std::string> ListDriverURIs(const std::string& listing) {
  std::vector<std::string> uris;
  std::set<std::string> seen;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < 2 || line[0] != '"') continue;
    const auto close = line.find('"', 1);
    if (close == std::string::npos) continue;
    std::string uri = line.substr(1, close - 1);
    const auto colon = uri.find(':');
    const auto slash = uri.find('/', colon == std::string::npos ? 0 : colon);
    const std::string ppd = slash == std::string::npos ? uri : uri.substr(slash + 1);
    if (seen.insert(ppd).second) uris.push_back(std::move(uri));
  }
  return uris;
}

// Runs the driver program `driver` with `list`, then `cat` for each PPD it lists (at most
// `parallel` at once), and stores the PPDs in `into`, decompressed.
inline Collected ExtractDriverPPDs(const fs::path& driver, const fs::path& into,
                                   unsigned parallel) {
  Collected result;
  const fs::path listing = into / "list.txt";
  const pid_t lister = Spawn({driver.string(), "list"}, listing);
  if (lister < 0 || !WaitOK(lister)) {
    result.problem = driver.string() + " list failed";
    return result;
  }
  const std::vector<std::string> uris = ListDriverURIs(ReadFile(listing));
  if (uris.empty()) {
    result.problem = driver.string() + " list named no PPD";
    return result;
  }

  struct Running {
    pid_t pid;
    std::string uri;
    fs::path out;
  };
  std::vector<Running> running;
  auto finish_one = [&] {
    const Running job = running.front();
    running.erase(running.begin());
    if (!WaitOK(job.pid) || fs::file_size(job.out) == 0) {
      result.problem += driver.string() + " cat " + job.uri + " failed\n";
    } else if (!Decompress(job.out)) {
      result.problem += job.uri + ": bad gzip stream\n";
    } else {
      result.files.push_back(job.out);
    }
  };
  size_t index = 0;
  for (const auto& uri : uris) {
    // Numbered names: distinct URIs may end in the same file name.
    const fs::path out = into / (std::to_string(index++) + "-" + fs::path(uri).filename().string());
    const pid_t pid = Spawn({driver.string(), "cat", uri}, out);
    if (pid < 0) {
      result.problem += "cannot run " + driver.string() + "\n";
      break;
    }
    running.push_back({pid, uri, out});
    if (running.size() >= std::max(parallel, 1u)) finish_one();
  }
  while (!running.empty()) finish_one();
  std::sort(result.files.begin(), result.files.end());
  return result;
}

// Copies every *.ppd and *.ppd.gz of `folder` into `into`, decompressed.
inline Collected CollectFolderPPDs(const fs::path& folder, const fs::path& into) {
  Collected result;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    const bool plain = name.ends_with(".ppd");
    if (!entry.is_regular_file() || (!plain && !name.ends_with(".ppd.gz"))) continue;
    const fs::path out = into / (plain ? name : name.substr(0, name.size() - 3));
    if (!fs::copy_file(entry.path(), out, fs::copy_options::overwrite_existing, error) ||
        !Decompress(out)) {
      result.problem += name + ": cannot be copied or decompressed\n";
      continue;
    }
    result.files.push_back(out);
  }
  if (error) result.problem += folder.string() + ": " + error.message() + "\n";
  std::sort(result.files.begin(), result.files.end());
  return result;
}

}  // namespace realppd
