// CPPDMsgHdlr: reads and writes one named data block stored in the queue's PPD.
//
// The block name given is stored with the vendor prefix "KR" ("DriverPreference" lives in the
// attributes KRDriverPreference0000, ...). The PPD file is opened, read and closed on every read;
// the last result is kept in the object.
#pragma once

#include <string>

class CPPDMsgHdlr {
 public:
  // Keeps the PPD path and the key "KR" + `name`. Reads nothing yet.
  CPPDMsgHdlr(const std::string& name, const std::string& ppdPath);

  // Reads the block as wide text: each 4 bytes of the data (host byte order) are one 32-bit
  // character, so the text has data length / 4 characters and a trailing remainder is dropped.
  // Empty when the path is empty, the file does not open as a PPD, or the block is missing,
  // empty or unreadable.
  std::wstring GetStringData();
  // Reads the block as 8-bit text, every byte kept (NUL bytes included). Empty in the same cases.
  std::string GetCStringData();

  // Stores `text` as the block (through ppdxWriteData, under the file's lock), a wide text as its
  // 32-bit characters in host byte order, and keeps it as the last data. Returns the key's length
  // on success; -1 for an empty text or path, a text over 16,777,216 bytes or no memory; -2 when
  // the PPD file cannot be opened, locked, read or written.
  int Commit(const std::wstring& text);
  int Commit(const std::string& text);

  // Drops the kept wide text; returns its former length, or -1 when it was empty.
  int Discard();

 private:
  std::string ppdPath_;  // PPD file path
  std::string key_;      // "KR" followed by the name given
  std::wstring data_;    // wide text of the last read
  std::string cdata_;    // 8-bit text of the last read
};
