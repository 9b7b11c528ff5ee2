#include "support/CupsServer.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quill::testing {
namespace fs = std::filesystem;
namespace {

using Clock = std::chrono::steady_clock;

// Where Debian's CUPS keeps its filters and backends.
constexpr const char* kSystemServerBin = "/usr/lib/cups";

// Where a program is: on PATH or in the system folders that root's PATH may lack.
std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/bin:/bin";
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const fs::path candidate = fs::path(folder) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return {};
}

std::string RequireProgram(const std::string& name, const char* package) {
  std::string path = FindProgram(name);
  if (path.empty()) {
    throw std::runtime_error("CupsServer: " + name + " is missing (install Debian's " + package +
                             "; scripts/install-deps.sh does)");
  }
  return path;
}

// A program of the build: the one $`variable` names, else `built`; throws when it is missing.
std::string BuiltProgram(const char* variable, const char* built, const char* what, const char* target) {
  const char* named = std::getenv(variable);
  const std::string path = named != nullptr && *named != '\0' ? named : built;
  if (path.empty() || access(path.c_str(), X_OK) != 0) {
    throw std::runtime_error(std::string("CupsServer: the ") + what + " program is missing (" + path +
                             "); build the " + target + " target");
  }
  return path;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("CupsServer: cannot write " + path.string());
  chmod(path.c_str(), mode);
}

std::string Tail(const std::string& text, int lines) {
  size_t at = text.size();
  for (int n = 0; n <= lines && at > 0; ++n) {
    const size_t nl = text.rfind('\n', at - 1);
    if (nl == std::string::npos) return text;
    at = nl;
  }
  return text.substr(at);
}

// A loopback port that nothing listens on right now.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("CupsServer: no free loopback port");
  }
  close(fd);
  return ntohs(addr.sin_port);
}

bool PortAccepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  close(fd);
  return ok;
}

bool SocketAccepts(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  close(fd);
  return ok;
}

// Starts `argv` with its output going to `log`. The child is killed when the test process
// dies, so that a crashed test leaves no server behind.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& log) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  // The death signal follows the thread that forks: only a child of the main thread gets it, so
  // that a server started from a short-lived thread does not die with that thread.
  const bool main_thread = gettid() == parent;
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("CupsServer: fork failed");
  if (pid == 0) {
    if (main_thread) prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int null = open("/dev/null", O_RDONLY);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    if (null >= 0) dup2(null, 0);
    setpgid(0, 0);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Runs `args` to its end; its exit status, or -1. Standard output and error go to *output.
int RunToEnd(const std::vector<std::string>& args, std::string* output = nullptr) {
  char log_name[] = "/tmp/quill-cups-run-XXXXXX";
  const int log_fd = mkstemp(log_name);
  if (log_fd < 0) return -1;
  close(log_fd);
  const pid_t pid = Spawn(args, log_name);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (output != nullptr) *output = Slurp(log_name);
  unlink(log_name);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sends SIGTERM, then SIGKILL when the process has not ended within five seconds.
void Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid = -1;
}

// Waits until `ready` holds or the process `pid` ends; false on its end or after ten seconds.
template <typename Ready>
bool WaitUntil(pid_t pid, Ready ready) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (ready()) return true;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void SetEnv(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

}  // namespace

CupsServer::CupsServer() {
  if (geteuid() != 0) {
    throw std::runtime_error("CupsServer: the private cupsd needs root (it runs filters as lp)");
  }
  RequireProgram("cupsd", "cups-daemon");
  RequireProgram("ippeveprinter", "cups-ipp-utils");
#ifndef QUILL_FIXTURE_FILTER_PATH
#define QUILL_FIXTURE_FILTER_PATH ""
#endif
#ifndef QUILL_FIXTURE_BACKEND_PATH
#define QUILL_FIXTURE_BACKEND_PATH ""
#endif
  const std::string source_filter =
      BuiltProgram("QUILL_FILTER", QUILL_FIXTURE_FILTER_PATH, "filter", "quill_cqf");
  const std::string source_backend =
      BuiltProgram("QUILL_BACKEND", QUILL_FIXTURE_BACKEND_PATH, "backend", "quill_backend");
  if (access(QuillPath().c_str(), X_OK) != 0) {
    throw std::runtime_error("CupsServer: the quill command is missing (" + QuillPath() +
                             "); build the quill_command target");
  }

  std::string pattern = "/tmp/quill-cups-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("CupsServer: mkdtemp failed");
  dir_ = pattern;
  try {
    // The lp user must reach the filter, QUILL_ROOT and the received jobs under this folder.
    chmod(dir_.c_str(), 0755);
    for (const char* sub : {"etc", "etc/ppd", "spool", "spool/tmp", "log", "cache", "state", "run",
                            "received", "bin", "root"}) {
      fs::create_directories(dir_ / sub);
      chmod((dir_ / sub).c_str(), 0755);
    }
    // cupsd runs filters as lp from a copy in a folder that everybody can search, whatever the
    // permissions of the build tree.
    filter_path_ = (dir_ / "bin" / "quill-cqf").string();
    fs::copy_file(source_filter, filter_path_, fs::copy_options::overwrite_existing);
    chmod(filter_path_.c_str(), 0755);
    MakeServerBin(source_backend);

    cups_port_ = FreePort();
    print_port_ = FreePort();
    unused_port_ = FreePort();
    while (print_port_ == cups_port_) print_port_ = FreePort();
    while (unused_port_ == cups_port_ || unused_port_ == print_port_) unused_port_ = FreePort();
    WriteConfiguration();

    SetEnv("CUPS_SERVER", CupsServerAddress());
    SetEnv("CUPS_SERVERROOT", ServerRoot().string());
    SetEnv("QUILL_ROOT", QuillRoot().string());
    SetEnv("QUILL_FILTER_PATH", filter_path_);
    unsetenv("CUPS_ENCRYPTION");
    cupsSetServer(nullptr);  // forget a server libcups may have cached before

    EnsureDnsSd();
    StartPrintServer();
    StartCups();
  } catch (...) {
    Stop(cupsd_pid_);
    Stop(printer_pid_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    throw;
  }
}

CupsServer::~CupsServer() {
  Stop(cupsd_pid_);
  Stop(printer_pid_);
  if (std::getenv("QUILL_KEEP_CUPS") == nullptr) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
}

CupsServer& CupsServer::Shared() {
  static std::unique_ptr<CupsServer> server;
  static std::string failure;
  if (!server && failure.empty()) {
    try {
      server = std::make_unique<CupsServer>();
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  if (!server) throw std::runtime_error(failure);
  return *server;
}

void CupsServer::MakeServerBin(const std::string& backend) {
  // The system's programs (filters, backends, daemons) by links, with the quill backend beside
  // its backends; cupsd runs backends from "backend" under its ServerBin.
  const fs::path system = kSystemServerBin;
  const fs::path own = ServerBin();
  fs::create_directories(own / "backend");
  chmod(own.c_str(), 0755);
  chmod((own / "backend").c_str(), 0755);
  for (const auto& entry : fs::directory_iterator(system)) {
    if (entry.path().filename() != "backend") fs::create_symlink(entry.path(), own / entry.path().filename());
  }
  for (const auto& entry : fs::directory_iterator(system / "backend")) {
    fs::create_symlink(entry.path(), own / "backend" / entry.path().filename());
  }
  const fs::path quill = BackendPath();
  fs::copy_file(backend, quill, fs::copy_options::overwrite_existing);
  chmod(quill.c_str(), 0755);
}

void CupsServer::WriteConfiguration() {
  const fs::path etc = ServerRoot();
  std::ostringstream cupsd;
  cupsd << "LogLevel debug\n"
        << "MaxLogSize 0\n"
        << "Listen 127.0.0.1:" << cups_port_ << "\n"
        << "Listen " << CupsSocket() << "\n"
        << "Browsing No\n"
        << "BrowseLocalProtocols none\n"
        << "WebInterface No\n"
        << "DefaultShared No\n"
        << "PreserveJobHistory Yes\n"
        << "PreserveJobFiles No\n"
        << "MaxJobs 0\n"
        << "MaxJobsPerPrinter 0\n"
        << "MaxJobsPerUser 0\n"
        << "DirtyCleanInterval 0\n"
        << "ErrorPolicy abort-job\n"
        << "<Location />\n  Order allow,deny\n  Allow from 127.0.0.1\n  Allow from ::1\n"
        << "  Allow from @LOCAL\n</Location>\n"
        << "<Policy default>\n  JobPrivateAccess all\n  JobPrivateValues none\n"
        << "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
        << "  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
  // Extra lines from the environment (for benchmarks that need other limits); cupsd takes the
  // last setting of a directive.
  if (const char* extra = std::getenv("QUILL_TEST_CUPSD_CONF"); extra != nullptr) {
    cupsd << extra << "\n";
  }
  WriteFile(etc / "cupsd.conf", cupsd.str());

  std::ostringstream files;
  files << "ServerRoot " << etc.string() << "\n"
        << "RequestRoot " << (dir_ / "spool").string() << "\n"
        << "TempDir " << (dir_ / "spool" / "tmp").string() << "\n"
        << "CacheDir " << (dir_ / "cache").string() << "\n"
        << "StateDir " << (dir_ / "state").string() << "\n"
        << "Printcap " << (dir_ / "state" / "printcap").string() << "\n"
        << "ErrorLog " << (dir_ / "log" / "error_log").string() << "\n"
        << "AccessLog " << (dir_ / "log" / "access_log").string() << "\n"
        << "PageLog " << (dir_ / "log" / "page_log").string() << "\n"
        << "ServerBin " << ServerBin().string() << "\n"
        << "FileDevice Yes\n"
        << "User lp\nGroup lp\nSystemGroup root\n"
        // Filters get a clean environment: hand them the root and the sanitizers' settings.
        << "SetEnv QUILL_ROOT " << QuillRoot().string() << "\n"
        << "PassEnv ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS QUILL_LOG\n";
  WriteFile(etc / "cups-files.conf", files.str());

  // The print server: what a Quill server reports, with PostScript among its formats so that
  // CUPS' ipp backend can hand it print jobs.
  std::ostringstream attrs;
  auto quoted_list = [&attrs](const auto& values) {
    bool first = true;
    for (const char* v : values) {
      attrs << (first ? "" : ",") << '"' << v << '"';
      first = false;
    }
  };
  attrs << "ATTR mimeMediaType document-format-supported "
           "application/postscript,application/pdf,application/octet-stream\n"
        << "ATTR text printer-make-and-model \"" << kServerModel << "\"\n"
        << "ATTR text printer-firmware-string-version \"" << kServerFirmware << "\"\n"
        << "ATTR integer marker-levels ";
  for (size_t i = 0; i < std::size(kMarkerLevels); ++i) attrs << (i ? "," : "") << kMarkerLevels[i];
  attrs << "\nATTR integer marker-low-levels 10,10,10,10\n"
        << "ATTR integer marker-high-levels 100,100,100,100\n"
        << "ATTR name marker-names ";
  quoted_list(kMarkerNames);
  attrs << "\nATTR name marker-colors ";
  quoted_list(kMarkerColors);  // quoted: '#' starts a comment in this file
  attrs << "\nATTR keyword marker-types toner,toner,toner,toner\n"
        << "ATTR keyword media-ready ";
  for (size_t i = 0; i < std::size(kMediaReady); ++i) attrs << (i ? "," : "") << kMediaReady[i];
  attrs << "\nATTR collection media-col-ready ";
  const int sizes[][2] = {{21000, 29700}, {21590, 27940}};
  for (size_t i = 0; i < std::size(kMediaReady); ++i) {
    attrs << (i ? "," : "") << "{\n  MEMBER collection media-size { MEMBER integer x-dimension "
          << sizes[i][0] << " MEMBER integer y-dimension " << sizes[i][1] << " }\n"
          << "  MEMBER keyword media-size-name " << kMediaReady[i] << "\n"
          << "  MEMBER keyword media-source " << kMediaSources[i] << "\n"
          << "  MEMBER keyword media-type " << kMediaTypes[i] << "\n}";
  }
  attrs << "\nATTR octetString printer-input-tray "
           "\"type=sheetFeedAutoRemovableTray;mediafeed=0;mediaxfeed=0;maxcapacity=500;level=250;"
           "status=0;name=Tray 1;\",\"type=sheetFeedAutoRemovableTray;mediafeed=0;mediaxfeed=0;"
           "maxcapacity=250;level=-3;status=0;name=Tray 2;\"\n";
  WriteFile(dir_ / "printer.conf", attrs.str());
}

void CupsServer::EnsureDnsSd() {
  // Only one test program at a time looks at the daemons and starts them.
  const int lock = open("/tmp/quill-cups-dnssd.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock >= 0) flock(lock, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() {
      if (fd >= 0) close(fd);
    }
  } unlock{lock};

  if (!SocketAccepts("/run/dbus/system_bus_socket")) {
    const std::string dbus = RequireProgram("dbus-daemon", "dbus");
    fs::create_directories("/run/dbus");
    std::error_code ignored;
    fs::remove("/run/dbus/pid", ignored);  // left by a daemon that is gone
    std::string output;
    if (RunToEnd({dbus, "--system", "--fork"}, &output) != 0) {
      throw std::runtime_error("CupsServer: cannot start the system D-Bus: " + output);
    }
  }
  const std::string avahi = RequireProgram("avahi-daemon", "avahi-daemon");
  if (RunToEnd({avahi, "-c"}) != 0) {
    std::string output;
    RunToEnd({avahi, "--no-drop-root", "--no-chroot", "-D"}, &output);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (RunToEnd({avahi, "-c"}) != 0) {
      if (Clock::now() > deadline) {
        throw std::runtime_error("CupsServer: avahi-daemon does not start: " + output);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

void CupsServer::StartPrintServer() {
  if (printer_pid_ > 0) return;
  const fs::path log = dir_ / "log" / "printer.log";
  printer_pid_ = Spawn({FindProgram("ippeveprinter"), "-r", "off", "-n", "localhost", "-p",
                        std::to_string(print_port_), "-a", (dir_ / "printer.conf").string(), "-k",
                        "-d", ReceivedJobsDir().string(), kServerName},
                       log);
  if (!WaitUntil(printer_pid_, [this] { return PortAccepts(print_port_); })) {
    Stop(printer_pid_);
    throw std::runtime_error("CupsServer: ippeveprinter did not start:\n" + Tail(Slurp(log), 20));
  }
}

void CupsServer::StopPrintServer() { Stop(printer_pid_); }

void CupsServer::StartCups() {
  if (cupsd_pid_ > 0) return;
  cupsd_pid_ = Spawn({FindProgram("cupsd"), "-f", "-c", (ServerRoot() / "cupsd.conf").string(),
                      "-s", (ServerRoot() / "cups-files.conf").string()},
                     dir_ / "log" / "cupsd.out");
  if (!WaitUntil(cupsd_pid_, [this] { return PortAccepts(cups_port_); })) {
    Stop(cupsd_pid_);
    throw std::runtime_error("CupsServer: cupsd did not start:\n" +
                             Tail(Slurp(dir_ / "log" / "cupsd.out"), 20) + ErrorLogTail(20));
  }
}

void CupsServer::StopCups() { Stop(cupsd_pid_); }

std::string CupsServer::CupsServerAddress() const {
  return "127.0.0.1:" + std::to_string(cups_port_);
}
std::string CupsServer::CupsSocket() const { return (dir_ / "run" / "cups.sock").string(); }
std::string CupsServer::PrintServerURI() const {
  // No SNMP agent listens on loopback; without "snmp=false" CUPS' ipp backend waits seconds for
  // one on every job. ippeveprinter takes seconds to "print" a job; with "waitjob=false" the CUPS
  // job completes once the server has the whole document.
  return "ipp://localhost:" + std::to_string(print_port_) + "/ipp/print?snmp=false&waitjob=false";
}
std::string CupsServer::UnreachableURI() const {
  return "ipp://127.0.0.1:" + std::to_string(unused_port_) + "/ipp/print";
}
fs::path CupsServer::ReceivedJobsDir() const { return dir_ / "received"; }

std::vector<fs::path> CupsServer::ReceivedJobs() const {
  std::vector<fs::path> jobs;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(ReceivedJobsDir(), ec)) {
    if (entry.is_regular_file()) jobs.push_back(entry.path());
  }
  std::sort(jobs.begin(), jobs.end());
  return jobs;
}

fs::path CupsServer::QuillRoot() const { return dir_ / "root"; }
fs::path CupsServer::CacheDir() const { return QuillRoot() / "Library/Caches/KRT"; }
fs::path CupsServer::BidiDir() const { return QuillRoot() / "Library/Printers/Quill/PDEs"; }
fs::path CupsServer::ServerRoot() const { return dir_ / "etc"; }
fs::path CupsServer::QueuePPDPath(const std::string& name) const {
  return ServerRoot() / "ppd" / (name + ".ppd");
}
std::string CupsServer::FilterPath() const { return filter_path_; }
fs::path CupsServer::ServerBin() const { return dir_ / "serverbin"; }
fs::path CupsServer::BackendPath() const { return ServerBin() / "backend" / "quill"; }

std::string CupsServer::QuillPath() {
  if (const char* path = std::getenv("QUILL_CLI")) return path;
#ifdef QUILL_FIXTURE_QUILL_PATH
  return QUILL_FIXTURE_QUILL_PATH;
#else
  return {};
#endif
}

bool CupsServer::AddQueue(const std::string& name, const std::string& ppdPath, std::string* error,
                          const std::string& uri) {
  std::string output;
  const int status =
      RunToEnd({QuillPath(), "queue", "add", name, "--ppd", ppdPath, "--uri",
                uri.empty() ? PrintServerURI() : uri, "--filter", filter_path_},
               &output);
  if (status != 0 && error != nullptr) {
    *error = "quill queue add " + name + " exited with " + std::to_string(status) + ": " + output +
             ErrorLogTail(20);
  }
  return status == 0;
}

bool CupsServer::RemoveQueue(const std::string& name, std::string* error) {
  std::string output;
  const int status = RunToEnd({QuillPath(), "queue", "remove", name}, &output);
  if (status != 0 && error != nullptr) *error = output;
  return status == 0;
}

std::string CupsServer::ErrorLogTail(int lines) const {
  return Tail(Slurp(dir_ / "log" / "error_log"), lines);
}

}  // namespace quill::testing
