// PostScriptInjectionSite: where in the job the spooler-side filter puts a piece of the job
// ticket. The numbers are a contract with the filter; the constants name the sites this system
// stores pieces under.
#pragma once

#include <cstdint>

using PostScriptInjectionSite = int32_t;

// The bare keyword of a PPD option (no PostScript), for every option but "*PageSize".
inline constexpr PostScriptInjectionSite kSiteBareKeyword = -9;
// Job-note header lines ("%%KRTCustom1: ...", the enciphered notes, the user-authentication tag).
inline constexpr PostScriptInjectionSite kSiteJobNote = 30;
// The feature code of "*PageSize".
inline constexpr PostScriptInjectionSite kSitePageSize = 70;
// The end-of-pre-parse marker.
inline constexpr PostScriptInjectionSite kSitePreParseEnd = 71;
// Feature blocks: options, the panel's own blocks, job-note blocks, the watermark code.
inline constexpr PostScriptInjectionSite kSiteFeature = 81;
// Header comment lines ("%%KRTDriver", the UTF-8 version comment).
inline constexpr PostScriptInjectionSite kSiteHeader = 501;
// Header comment lines made from the layout (N-up, orientation).
inline constexpr PostScriptInjectionSite kSiteLayoutHeader = 504;
// The mailbox path of the "File" destination.
inline constexpr PostScriptInjectionSite kSiteMailbox = 900;
