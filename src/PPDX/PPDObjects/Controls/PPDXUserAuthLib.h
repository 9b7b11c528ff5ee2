// PPDXUserAuthLib: packs a user's name and password for copier-style user authentication into
// the one printable token that a job carries.
//
// The credentials, an identifier of the sending machine and moment and a SHA-1 digest form an
// inner block, enciphered with Twofish-256 under a fresh message key; that block and the key form
// an outer block, enciphered with Twofish-256 under the master key shared with the print server
// (KeyMaterial's token-master-key) and written as Base64. Integers in the token are big-endian.
// The clock, the process id and the network interfaces come from SystemInfo.
// Panel thread only: the MAC buffer, the last identifier time and the rand() seed are
// process-wide.
#pragma once

#include <cstdint>

// The domain type carried in the record; the panel always sends kUALPanelDomainType.
enum UAL_DomainType : int32_t { kUALPanelDomainType = 2 };

// Status of goGetMACAddress, as the hardware-address lookup reports it.
using kern_return_t = int;
inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t KERN_INVALID_ARGUMENT = 4;
inline constexpr kern_return_t KERN_FAILURE = 5;

// Sizes of the identifier and the hardware address at its start.
inline constexpr int kUALIdentifierSize = 16;
inline constexpr int kUALMACAddressSize = 6;
// Longest user name and password that AUTH_packAndEncrypt packs; longer ones are cut.
inline constexpr int kUALMaxCredentialLength = 255;

// Packs user and password (each cut to 255 bytes) when type is 2 and both are given with a
// non-empty user, else empty credentials, with a fresh identifier, an empty domain and type 2.
// The domain and the int argument are not used. Returns -1 for a null token, else what
// UAL_PackAndEncrypt returns; on success *token is a new NUL-terminated Base64 text that the
// caller frees with AUTH_freeBuffer.
int AUTH_packAndEncrypt(char const* user, char const* password, char const* domain,
                        UAL_DomainType type, int unused, char** token);

// Frees a token and sets the pointer to null; nothing for a null pointer or token.
void AUTH_freeBuffer(char** token);

// Builds the token of user, password and domain (a null domain is empty) with the 16-byte
// identifier (a null one counts as zero). Sets *token to null first. Returns 0 with *token a new
// buffer of 4 * ceil((N + 48) / 3) characters and a NUL; -1 when token, user or password is null,
// the master key is not configured, memory runs out, the credentials are too large to encipher,
// or an encipherment fails.
int UAL_PackAndEncrypt(char const* user, char const* password, char const* domain,
                       UAL_DomainType type, unsigned char const* identifier, char** token);

// Fills the 16 bytes at out with an identifier: the primary interface's hardware address (zero
// when there is none), the time stamp T little-endian at offset 6, and zero. An identifier made
// at the same or an earlier time than the previous one takes the previous time plus one
// microsecond. False for a null out.
bool CreateGUID(unsigned char* out);

// Points *mac at a process-wide 6-byte buffer holding the hardware address of the primary
// network interface (SystemInfo): the interface of the default route when it is Ethernet-type
// with a non-zero address, else the first such interface by name other than "lo". Returns
// KERN_SUCCESS when an address was found, else KERN_FAILURE with the buffer all zero;
// KERN_INVALID_ARGUMENT for a null mac.
kern_return_t goGetMACAddress(unsigned char** mac);

// Forgets the time of the previous identifier, so that the next one takes the clock as it is.
// For tests that set the clock back.
void UAL_ResetIdentifierClock();
