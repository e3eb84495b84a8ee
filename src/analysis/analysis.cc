// SPDX-License-Identifier: MIT
#include "analysis/analysis.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "scan/scanner.h"

namespace tintrel {

namespace {

// Reads of this size feed the scan and the digest on one thread.
constexpr std::size_t kReadSize = 64 * 1024;
// Regular files of this size and more are digested on a second thread.
constexpr int64_t kDigestThreadSize = 512 * 1024;

// A failed read ends the scan while it still wants bytes, and the digest after that.
void RecordReadFault(Analysis& analysis, Fault&& fault, bool scanning) {
  (scanning ? analysis.ScanFault : analysis.DigestFault) = std::move(fault);
}

// The scan beside the digest, until its art has ended at a byte 26.
struct ArtReaders {
  Scanner& Scan;
  bool Scanning = true;

  void Take(const uint8_t* bytes, std::size_t count) {
    if (Scanning) Scanning = !ScanChunk(Scan, bytes, count);
  }
};

void ReadOnOneThread(Analysis& analysis, const FileHandle& file, ArtReaders& readers,
                     FileDigest& digest) {
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kReadSize);
  for (;;) {
    std::size_t count;
    try {
      count = ReadSome(file, buffer.get(), kReadSize, analysis.Name);
    } catch (Fault& fault) {
      return RecordReadFault(analysis, std::move(fault), readers.Scanning);
    }
    if (count == 0) return;
    DigestBytes(digest, buffer.get(), count);
    readers.Take(buffer.get(), count);
  }
}

// The digest on a second thread, over the buffers the scan reads: the reading thread reads each
// chunk once into a ring of slots, hands it over, and scans it while the digest thread digests
// it. A slot is read into again only once the digest is done with it; the scan is done with it
// by then, since it finishes each chunk before the next is read.
struct DigestBeside {
  static constexpr std::size_t kSlots = 4;
  static constexpr std::size_t kSlotSize = 256 * 1024;

  FileDigest& Digest;
  std::unique_ptr<uint8_t[]> Slots = std::make_unique_for_overwrite<uint8_t[]>(kSlots * kSlotSize);
  std::array<std::size_t, kSlots> Sizes{};
  std::mutex Lock;
  std::condition_variable_any Changed;
  uint64_t Handed = 0;    // chunks handed to the digest
  uint64_t Digested = 0;  // chunks it is done with
  bool Over = false;      // no more chunks come
  // Last, so that leaving the scope stops and joins it before the members it uses are gone.
  std::jthread Worker;

  explicit DigestBeside(FileDigest& digest)
      : Digest(digest), Worker([this](std::stop_token stop) { Run(stop); }) {}

  uint8_t* Slot(std::size_t slot) { return Slots.get() + slot * kSlotSize; }

  void Run(std::stop_token stop) {
    std::unique_lock lock(Lock);
    for (;;) {
      if (!Changed.wait(lock, stop, [this] { return Digested < Handed || Over; })) return;
      if (Digested == Handed) return;
      std::size_t slot = Digested % kSlots;
      lock.unlock();
      DigestBytes(Digest, Slot(slot), Sizes[slot]);
      lock.lock();
      ++Digested;
      Changed.notify_all();
    }
  }

  // The slot to read the next chunk into, once the digest is done with what it held.
  std::size_t FreeSlot() {
    std::unique_lock lock(Lock);
    Changed.wait(lock, [this] { return Handed - Digested < kSlots; });
    return Handed % kSlots;
  }

  void Hand(std::size_t slot, std::size_t size) {
    {
      std::lock_guard lock(Lock);
      Sizes[slot] = size;
      ++Handed;
    }
    Changed.notify_all();
  }

  // Returns once every chunk handed over is digested.
  void Finish() {
    {
      std::lock_guard lock(Lock);
      Over = true;
    }
    Changed.notify_all();
    Worker.join();
  }
};

void ReadWithDigestBeside(Analysis& analysis, const FileHandle& file, ArtReaders& readers,
                          FileDigest& digest) {
  DigestBeside beside(digest);
  for (;;) {
    std::size_t slot = beside.FreeSlot();
    uint8_t* bytes = beside.Slot(slot);
    std::size_t count;
    try {
      count = ReadSome(file, bytes, DigestBeside::kSlotSize, analysis.Name);
    } catch (Fault& fault) {
      RecordReadFault(analysis, std::move(fault), readers.Scanning);
      break;
    }
    if (count == 0) break;
    beside.Hand(slot, count);
    readers.Take(bytes, count);
  }
  beside.Finish();
}

}  // namespace

void ScanAndDigest(Analysis& analysis, const FileHandle& file, const PositionSink& positions,
                   DigestThread digest_thread, TokenCache* cache) {
  Scanner scanner(analysis.Scan, positions, cache);
  FileDigest digest;
  ArtReaders readers{scanner};
  if (digest_thread == DigestThread::ForLargeFiles && RegularFileSize(file) >= kDigestThreadSize)
    ReadWithDigestBeside(analysis, file, readers, digest);
  else
    ReadOnOneThread(analysis, file, readers, digest);
  if (analysis.ScanFault) return;
  FinishScan(scanner);
  analysis.ScannedBytes = digest.ArtSize;
  if (analysis.DigestFault) return;
  analysis.FileMd5 = FinishDigest(digest);
  analysis.FileSize = digest.Size;
  analysis.ArtMd5 = digest.Art;
}

Analysis AnalyseFile(const std::string& name, const PositionSink& positions,
                     DigestThread digest_thread) {
  Analysis analysis;
  analysis.Name = name;
  FileHandle file = OpenForReading(name);
  if (!file.IsOpen()) {
    // Nothing was read: a digest of no bytes would report a failure as a result.
    analysis.DigestFault = FileError("open", name, 0);
    return analysis;
  }
  analysis.Opened = true;
  ScanAndDigest(analysis, file, positions, digest_thread);
  if (analysis.ScanFault || analysis.DigestFault) return analysis;
  try {
    analysis.Sauce = ReadSauce(file, name);
    CloseFile(file, name);
  } catch (Fault& fault) {
    analysis.SauceFault = std::move(fault);
  }
  return analysis;
}

}  // namespace tintrel
