// SPDX-License-Identifier: MIT
// The analysis of one art file as a value: the file is opened once and read once, and the same
// bytes feed the colour scan and the digest; the SAUCE record comes from the same descriptor.
// Any front end formats the value, as often as it likes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "io/fault.h"
#include "io/file_handle.h"
#include "meta/file_digest.h"
#include "meta/sauce_record.h"
#include "scan/scan_state.h"

namespace tintrel {

struct TokenCache;

struct Analysis {
  std::string Name;     // the file as it was named
  bool Opened = false;  // false: nothing could be read, and the scan found nothing

  // The scan, from the first byte to the first byte 26 or the end. A failed read while the scan
  // still wanted bytes ends it, and nothing after it happened.
  ScanState Scan;
  uint64_t ScannedBytes = 0;  // where the scan stopped: the bytes in front of the first byte 26
  std::optional<Fault> ScanFault;

  // The digest of every byte, and of the art alone (the bytes the scan read). A file that could
  // not be opened, or a read failing after the first byte 26, is the digest's fault.
  Digest FileMd5{}, ArtMd5{};
  uint64_t FileSize = 0;  // the bytes read and digested
  std::optional<Fault> DigestFault;

  // The record, when the file ends with one; a lock held by another process, a failed read of
  // the record or a failed close is its fault.
  std::optional<SauceRecord> Sauce;
  std::optional<Fault> SauceFault;
};

// How the digest runs beside the scan.
enum class DigestThread {
  ForLargeFiles,  // on a second thread for regular files large enough to gain from it
  Never,          // on the reading thread: the caller has every core busy already
};

// Opens the named file once, scans, digests and reads its record, and closes it. Position
// reports go to `positions` as the scan meets them.
Analysis AnalyseFile(const std::string& name, const PositionSink& positions,
                     DigestThread digest_thread = DigestThread::ForLargeFiles);

// The same on a file already open; it is left open, and its record is not read. The steps
// record their faults in `analysis`, whose Name names the file in them. A thread that analyses
// file after file may lend the scan its token cache.
void ScanAndDigest(Analysis& analysis, const FileHandle& file, const PositionSink& positions,
                   DigestThread digest_thread, TokenCache* cache = nullptr);

// Throws the fault a step ended with, if any: a formatter calls it where that step's output
// would begin.
inline void ThrowIfFailed(const std::optional<Fault>& fault) {
  if (fault) throw *fault;
}

}  // namespace tintrel
