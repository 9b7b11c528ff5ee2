// "Command_UpdateCommands" end to end: the filter asks the print server (ippeveprinter) over IPP
// and leaves the two-way data file beside the panel bundle; when the server cannot be reached it
// leaves the connection-error file and flags the address in the queue's PPD.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "SpoolerTestSupport.h"
#include "server/CFileHdlr.h"
#include "server/CPPDMsgHdlr.h"

namespace quill::testing {
namespace {

namespace fs = std::filesystem;

// Section `name` of the data file as the panel reads it: the payload as wide text, in UTF-8.
std::string Section(const fs::path& file, const char* name) {
  std::string path = file.string();
  unsigned long length = 0;
  std::unique_ptr<char, decltype(&free)> data(CFileHdlr::fileReadData(path.data(), name, &length),
                                              &free);
  std::wstring wide(reinterpret_cast<const wchar_t*>(data.get()), length / sizeof(wchar_t));
  std::string out;
  for (wchar_t c : wide) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::vector<std::string> Lines(const std::string& text, char separator = '\n') {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line, separator)) lines.push_back(line);
  return lines;
}

std::string InvalidAddressFlag(const Printer& printer) {
  const std::string copy = printer.CopyPPD();
  std::string flag = CPPDMsgHdlr("InvalidPrinterAddress", copy).GetCStringData();
  unlink(copy.c_str());
  return flag;
}

class UpdateCommands : public ::testing::Test {
 protected:
  CupsServer& server_ = CupsServer::Shared();
  Printer printer_ = SharedQueue("update");
  fs::path data_file_ = server_.BidiDir() / "update.bididata";
};

TEST_F(UpdateCommands, SectionsCarryTheServersTonersAndTrays) {
  fs::remove(data_file_);
  const std::string text = "C0FFEE01::DELIMIT::" + server_.PrintServerURI() +
                           "::DELIMIT::/tmp/session.ppd info";
  ASSERT_EQ(RunCommand(printer_, text, "Command_UpdateCommands"), Printer::kJobCompleted)
      << server_.ErrorLogTail();
  ASSERT_TRUE(fs::exists(data_file_));
  EXPECT_FALSE(fs::exists(server_.BidiDir() / "update.open"));  // the marker is gone again

  const std::vector<std::string> toners = Lines(Section(data_file_, "TonerInfo"));
  ASSERT_EQ(toners.size(), 5u);
  EXPECT_EQ(toners[0], "4");
  for (size_t i = 0; i < 4; ++i) {
    const std::vector<std::string> fields = Lines(toners[i + 1], '@');
    ASSERT_EQ(fields.size(), 7u) << toners[i + 1];
    EXPECT_EQ(fields[0], CupsServer::kMarkerNames[i]);
    EXPECT_EQ(fields[1], std::to_string(CupsServer::kMarkerLevels[i]));
    EXPECT_EQ(fields[3], CupsServer::kMarkerColors[i]);
  }

  const std::vector<std::string> trays = Lines(Section(data_file_, "TrayInfo"), ':');
  ASSERT_EQ(trays.size(), 3u);
  EXPECT_EQ(trays[0], "2");
  for (size_t i = 0; i < 2; ++i) {
    const std::vector<std::string> fields = Lines(trays[i + 1], '@');
    ASSERT_EQ(fields.size(), 10u) << trays[i + 1];
    EXPECT_EQ(fields[0], "Tray " + std::to_string(i + 1));
    EXPECT_EQ(fields[1], CupsServer::kMediaReady[i]);
    EXPECT_EQ(fields[2], CupsServer::kMediaTypes[i]);
    EXPECT_EQ(fields[6], CupsServer::kMediaSources[i]);
  }
  EXPECT_EQ(Lines(trays[1], '@')[9], "500");  // capacity from printer-input-tray

  const std::string info = Section(data_file_, "ServerInfo");
  EXPECT_NE(info.find(std::string(CupsServer::kServerName) + ":ServerName\n"), std::string::npos);
  EXPECT_NE(info.find(std::string(CupsServer::kServerModel) + ":ProductFamily\n"), std::string::npos);
  EXPECT_NE(info.find("yes:PSSupport\n"), std::string::npos);

  const std::string bidi = Section(data_file_, "BidiData");
  EXPECT_NE(bidi.find("ppdLocation0=\"/tmp/session.ppd info\""), std::string::npos) << bidi;
}

TEST_F(UpdateCommands, EmptyAddressAsksTheQueuesDevice) {
  fs::remove(data_file_);
  ASSERT_EQ(RunCommand(printer_, "C0FFEE02::DELIMIT::::DELIMIT::/tmp/x.ppd", "Command_UpdateCommands"),
            Printer::kJobCompleted);
  EXPECT_EQ(Lines(Section(data_file_, "TonerInfo")).front(), "4");
}

TEST_F(UpdateCommands, ServerProfileGivesWhatIPPCannot) {
  const fs::path profile = server_.QuillRoot() / "etc/quill/profiles/update.conf";
  fs::create_directories(profile.parent_path());
  std::ofstream(profile) << "# administrator's profile\n"
                            "[ServerInfo]\nDiskAvailable=120000\nServerName=ignored, the server says\n"
                            "[ServerFeatureSupport]\nDuplex=yes\nStapling=no\n\n"
                            "[PresetsList]\n1\nOffice\n";
  const std::string text = "C0FFEE03::DELIMIT::" + server_.PrintServerURI() + "::DELIMIT::/tmp/x.ppd";
  ASSERT_EQ(RunCommand(printer_, text, "Command_UpdateCommands"), Printer::kJobCompleted);
  fs::remove(profile);
  EXPECT_EQ(Section(data_file_, "ServerFeatureSupport"), "Duplex=yes\nStapling=no");
  EXPECT_EQ(Section(data_file_, "PresetsList"), "1\nOffice");
  const std::string info = Section(data_file_, "ServerInfo");
  EXPECT_NE(info.find("120000:DiskAvailable"), std::string::npos);
  EXPECT_EQ(info.find("ignored"), std::string::npos);
}

TEST_F(UpdateCommands, UnreachableServerLeavesTheConnectionErrorFileAndFlag) {
  const fs::path error_file = server_.CacheDir() / "ConnectionErrorInfoFileBADC0DE1.txt";
  const std::string text = "BADC0DE1::DELIMIT::" + server_.UnreachableURI() + "::DELIMIT::/tmp/x.ppd";
  ASSERT_EQ(RunCommand(printer_, text, "Command_UpdateCommands"), Printer::kJobCompleted)
      << server_.ErrorLogTail();
  EXPECT_TRUE(fs::exists(error_file));
  EXPECT_EQ(InvalidAddressFlag(printer_), "yes");

  // Once the server answers again the flag is cleared.
  const std::string good = "C0FFEE04::DELIMIT::" + server_.PrintServerURI() + "::DELIMIT::/tmp/x.ppd";
  ASSERT_EQ(RunCommand(printer_, good, "Command_UpdateCommands"), Printer::kJobCompleted);
  EXPECT_EQ(InvalidAddressFlag(printer_), "no");
}

TEST_F(UpdateCommands, BadRequestsAreRefused) {
  const std::string cases[] = {
      "",                                                  // no identifier
      "../../x::DELIMIT::" + server_.UnreachableURI(),     // identifier names a file elsewhere
      "a/b::DELIMIT::::DELIMIT::",                         // a folder in the identifier
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(RunCommand(printer_, text, "Command_UpdateCommands"), 6);
  }
  EXPECT_FALSE(fs::exists(server_.QuillRoot() / "Library/x.txt"));
}

}  // namespace
}  // namespace quill::testing
