// SPDX-License-Identifier: MIT
#include "packs/zip_reader.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/fault.h"
#include "kit/temp_dir.h"

namespace tintrel {
namespace {

using testkit::TempDir;
using testkit::WriteFile;

constexpr uint32_t kAllOnes = 0xFFFFFFFF;

// A member as a pack maker writes it, with the ways a maker's headers can differ from the norm.
struct MemberPlan {
  std::string Name;
  std::string Bytes;
  bool Deflate = true;
  bool Descriptor = false;       // the sizes after the data, zeros in the local header
  bool SignedDescriptor = true;  // the descriptor begins with its signature
  bool Zip64 = false;            // sizes and offset in the ZIP64 field, all ones in the headers
  std::string LocalName;         // the local header's name, where it is not the directory's
  std::string LocalExtra;        // an extra field in the local header only
  std::optional<uint16_t> LocalMethod;
  uint32_t CrcFlip = 0;  // bits the CRC has wrong in the directory and after the data
  std::optional<uint32_t> CentralSize;  // an expanded size the directory has wrong
  uint32_t CentralOffsetShift = 0;      // the directory points this far past the local header
};

struct ZipPlan {
  std::vector<MemberPlan> Members;
  bool Directory = true;
  bool Zip64End = false;  // a ZIP64 end record, the end record's fields all ones
  std::string Front;      // a self-extracting program in front, the offsets not moved for it
};

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void Put64(std::string& out, uint64_t value) {
  Put32(out, static_cast<uint32_t>(value));
  Put32(out, static_cast<uint32_t>(value >> 32));
}

std::string Deflated(const std::string& bytes) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  std::string out(libdeflate_deflate_compress_bound(compressor, bytes.size()), '\0');
  out.resize(
      libdeflate_deflate_compress(compressor, bytes.data(), bytes.size(), out.data(), out.size()));
  libdeflate_free_compressor(compressor);
  return out;
}

std::string Zip64Field(std::vector<uint64_t> values) {
  std::string field;
  Put16(field, 1);
  Put16(field, static_cast<uint32_t>(values.size() * 8));
  for (uint64_t value : values) Put64(field, value);
  return field;
}

std::string BuildZip(const ZipPlan& plan) {
  std::string zip, directory;
  for (const MemberPlan& member : plan.Members) {
    const std::string data = member.Deflate ? Deflated(member.Bytes) : member.Bytes;
    const uint32_t crc = libdeflate_crc32(0, member.Bytes.data(), member.Bytes.size());
    const uint16_t method = member.Deflate ? 8 : 0;
    const uint16_t flags = member.Descriptor ? 8 : 0;
    const uint64_t offset = zip.size();
    const std::string local_name = member.LocalName.empty() ? member.Name : member.LocalName;
    std::string local_extra = member.LocalExtra;
    if (member.Zip64)
      local_extra += Zip64Field(
          {member.Descriptor ? 0 : member.Bytes.size(), member.Descriptor ? 0 : data.size()});
    Put32(zip, 0x04034b50);
    Put16(zip, member.Zip64 ? 45 : 20);
    Put16(zip, flags);
    Put16(zip, member.LocalMethod.value_or(method));
    Put32(zip, 0);  // time and date
    Put32(zip, member.Descriptor ? 0 : crc);
    const uint32_t local_size = member.Zip64 ? kAllOnes : 0;
    Put32(zip, member.Descriptor || member.Zip64 ? local_size : static_cast<uint32_t>(data.size()));
    Put32(zip, member.Descriptor || member.Zip64 ? local_size
                                                 : static_cast<uint32_t>(member.Bytes.size()));
    Put16(zip, static_cast<uint32_t>(local_name.size()));
    Put16(zip, static_cast<uint32_t>(local_extra.size()));
    zip += local_name + local_extra + data;
    if (member.Descriptor) {
      if (member.SignedDescriptor) Put32(zip, 0x08074b50);
      Put32(zip, crc ^ member.CrcFlip);
      if (member.Zip64) {
        Put64(zip, data.size());
        Put64(zip, member.Bytes.size());
      } else {
        Put32(zip, static_cast<uint32_t>(data.size()));
        Put32(zip, static_cast<uint32_t>(member.Bytes.size()));
      }
    }
    const uint64_t central_offset = offset + member.CentralOffsetShift;
    const uint64_t central_size = member.CentralSize.value_or(member.Bytes.size());
    const std::string central_extra =
        member.Zip64 ? Zip64Field({central_size, data.size(), central_offset}) : "";
    Put32(directory, 0x02014b50);
    Put16(directory, 20);  // made by MS-DOS
    Put16(directory, member.Zip64 ? 45 : 20);
    Put16(directory, flags);
    Put16(directory, method);
    Put32(directory, 0);
    Put32(directory, crc ^ member.CrcFlip);
    Put32(directory, member.Zip64 ? kAllOnes : static_cast<uint32_t>(data.size()));
    Put32(directory, member.Zip64 ? kAllOnes : static_cast<uint32_t>(central_size));
    Put16(directory, static_cast<uint32_t>(member.Name.size()));
    Put16(directory, static_cast<uint32_t>(central_extra.size()));
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, member.Zip64 ? kAllOnes : static_cast<uint32_t>(central_offset));
    directory += member.Name + central_extra;
  }
  if (!plan.Directory) return plan.Front + zip;
  const uint64_t directory_at = zip.size();
  const uint64_t count = plan.Members.size();
  zip += directory;
  if (plan.Zip64End) {
    const uint64_t record_at = zip.size();
    Put32(zip, 0x06064b50);
    Put64(zip, 44);
    Put16(zip, 45);
    Put16(zip, 45);
    Put32(zip, 0);
    Put32(zip, 0);
    Put64(zip, count);
    Put64(zip, count);
    Put64(zip, directory.size());
    Put64(zip, directory_at);
    Put32(zip, 0x07064b50);
    Put32(zip, 0);
    Put64(zip, record_at);
    Put32(zip, 1);
  }
  Put32(zip, 0x06054b50);
  Put32(zip, 0);  // this disk, the directory's disk
  Put16(zip, plan.Zip64End ? 0xFFFF : static_cast<uint32_t>(count));
  Put16(zip, plan.Zip64End ? 0xFFFF : static_cast<uint32_t>(count));
  Put32(zip, plan.Zip64End ? kAllOnes : static_cast<uint32_t>(directory.size()));
  Put32(zip, plan.Zip64End ? kAllOnes : static_cast<uint32_t>(directory_at));
  Put16(zip, 0);
  return plan.Front + zip;
}

// What a reader hands on, one line a member ("name=bytes" or "name!error"), then the pack's error.
std::vector<std::string> Members(const PackSource& source) {
  std::vector<std::string> seen;
  PackBudget budget;
  budget.Limit = uint64_t{1} << 30;
  PackVisitor visitor;
  visitor.File = [&](const std::string& name, MemberBytes& bytes) {
    std::string got(bytes.Whole.begin(), bytes.Whole.end());
    try {
      for (std::span<const uint8_t> chunk; !bytes.IsWhole && !(chunk = bytes.Next()).empty();)
        got.append(chunk.begin(), chunk.end());
    } catch (const Fault& fault) {
      got += "!" + fault.Message;
    }
    seen.push_back(name + "=" + got);
  };
  visitor.Error = [&](const std::string& name, const std::string& error) {
    seen.push_back(name + "!" + error);
  };
  seen.push_back(ReadZip(source, budget, visitor).Error);
  return seen;
}

struct Case {
  std::string what;
  ZipPlan plan;
  std::vector<std::string> members;  // as Members gives them, the pack's error last
};

// Every case read from memory (a pack inside a pack) and from a file, which must agree.
void ExpectMembers(const std::vector<Case>& cases) {
  TempDir dir;
  for (const Case& c : cases) {
    const std::string zip = BuildZip(c.plan);
    const std::span bytes(reinterpret_cast<const uint8_t*>(zip.data()), zip.size());
    EXPECT_EQ(Members(MemorySource(bytes, "art.zip")), c.members) << c.what;
    FileHandle file = OpenForReading(WriteFile(dir.Path + "/art.zip", zip));
    EXPECT_EQ(Members(FileSource(file, zip.size(), "art.zip")), c.members) << c.what << ", file";
  }
}

const std::string kRecovered =
    "recovered: no central directory; members read from their local headers";
const std::string kSun = "\x1b[1;33;44m\xdb\xdb sun \x1b[0m\r\n";
const std::string kMoon = "\x1b[37m moon \xdc\xdf\r\n";

// A member of the plain kind with a change made to it.
MemberPlan Member(
    std::string name, std::string bytes,
    const std::function<void(MemberPlan&)>& change = [](MemberPlan&) {}) {
  MemberPlan member;
  member.Name = std::move(name);
  member.Bytes = std::move(bytes);
  change(member);
  return member;
}

ZipPlan Pack(
    std::vector<MemberPlan> members,
    const std::function<void(ZipPlan&)>& change = [](ZipPlan&) {}) {
  ZipPlan plan;
  plan.Members = std::move(members);
  change(plan);
  return plan;
}

void NoDirectory(ZipPlan& plan) {
  plan.Directory = false;
}

TEST(ZipReader, Zip64FieldsStandForTheFieldsAllOnes) {
  const MemberPlan sun = Member("SUN.ANS", kSun, [](MemberPlan& m) { m.Zip64 = true; });
  const MemberPlan moon = Member("MOON.ANS", kMoon, [](MemberPlan& m) {
    m.Zip64 = true;
    m.Deflate = false;
  });
  const MemberPlan sun_descriptor = Member("SUN.ANS", kSun, [](MemberPlan& m) {
    m.Zip64 = true;
    m.Descriptor = true;
  });
  std::string lines;
  while (lines.size() <= kHoldLimit) lines += kSun + std::to_string(lines.size()) + "\n";
  const MemberPlan big = Member("BIG.ANS", lines, [](MemberPlan& m) { m.Zip64 = true; });
  const std::vector<std::string> both = {"SUN.ANS=" + kSun, "MOON.ANS=" + kMoon, ""};
  const std::vector<std::string> recovered = {"SUN.ANS=" + kSun, "MOON.ANS=" + kMoon, kRecovered};
  const std::vector<Case> cases = {
      {"sizes and offsets in the directory's field", Pack({sun, moon}), both},
      {"a ZIP64 end record",
       Pack({Member("SUN.ANS", kSun), moon}, [](ZipPlan& p) { p.Zip64End = true; }), both},
      {"a program in front moves the offsets of the field",
       Pack({sun, moon}, [](ZipPlan& p) { p.Front = "MZ stub"; }), both},
      {"sizes in the local headers' field", Pack({sun, moon}, NoDirectory), recovered},
      {"8-byte sizes after the data", Pack({sun_descriptor, moon}, NoDirectory), recovered},
      {"past the hold limit, so streamed",
       Pack({big, moon}),
       {"BIG.ANS=" + big.Bytes, both[1], ""}},
  };
  ExpectMembers(cases);
}

TEST(ZipReader, SizesAfterTheDataEndTheMember) {
  const MemberPlan moon = Member("MOON.ANS", kMoon);
  const MemberPlan sun = Member("SUN.ANS", kSun, [](MemberPlan& m) { m.Descriptor = true; });
  const MemberPlan unsigned_sun = Member("SUN.ANS", kSun, [](MemberPlan& m) {
    m.Descriptor = true;
    m.SignedDescriptor = false;
  });
  const MemberPlan wrong_crc = Member("X.ANS", std::string(40, 'x'), [](MemberPlan& m) {
    m.Descriptor = true;
    m.CrcFlip = 1;
  });
  const MemberPlan stored = Member("SUN.ANS", kSun, [](MemberPlan& m) {
    m.Descriptor = true;
    m.Deflate = false;
  });
  const MemberPlan empty = Member("EMPTY.ANS", "", [](MemberPlan& m) { m.Descriptor = true; });
  const std::vector<std::string> recovered = {"SUN.ANS=" + kSun, "MOON.ANS=" + kMoon, kRecovered};
  const std::vector<Case> cases = {
      {"the directory gives the sizes",
       Pack({sun, moon}),
       {"SUN.ANS=" + kSun, "MOON.ANS=" + kMoon, ""}},
      {"signed, no directory", Pack({sun, moon}, NoDirectory), recovered},
      {"unsigned, no directory", Pack({unsigned_sun, moon}, NoDirectory), recovered},
      {"the last member",
       Pack({moon, sun}, NoDirectory),
       {"MOON.ANS=" + kMoon, "SUN.ANS=" + kSun, kRecovered}},
      // The member fails at its end, and the next one is found all the same.
      {"a CRC that does not match",
       Pack({wrong_crc, sun, moon}, NoDirectory),
       {"X.ANS=" + std::string(40, 'x') + "!damaged: CRC mismatch", "SUN.ANS=" + kSun,
        "MOON.ANS=" + kMoon, kRecovered}},
      {"stored, the directory gives the sizes",
       Pack({stored, moon}),
       {"SUN.ANS=" + kSun, "MOON.ANS=" + kMoon, ""}},
      {"empty, no directory",
       Pack({empty, moon}, NoDirectory),
       {"EMPTY.ANS=", "MOON.ANS=" + kMoon, kRecovered}},
      {"stored, so its end cannot be told",
       Pack({stored, moon}, NoDirectory),
       {"SUN.ANS!unsupported: a stored member of unknown size", "MOON.ANS=" + kMoon, kRecovered}},
  };
  ExpectMembers(cases);
}

TEST(ZipReader, TheDirectoryWinsWhereTheLocalHeaderDisagrees) {
  const MemberPlan moon = Member("MOON.ANS", kMoon);
  auto sun = [&](const std::function<void(MemberPlan&)>& change) {
    return Pack({Member("SUN.ANS", kSun, change), moon});
  };
  auto broken = [&](const std::string& error) {
    return std::vector<std::string>{"SUN.ANS!" + error, "MOON.ANS=" + kMoon, ""};
  };
  const std::vector<std::string> both = {"SUN.ANS=" + kSun, "MOON.ANS=" + kMoon, ""};
  const std::vector<Case> cases = {
      {"a longer name", sun([](MemberPlan& m) { m.LocalName = "sunset/SUNSET.ANS"; }), both},
      {"an extra field of its own",
       sun([](MemberPlan& m) { m.LocalExtra = std::string("UT\x05\0\x01\0\0\0\0", 9); }), both},
      {"another method", sun([](MemberPlan& m) { m.LocalMethod = 0; }), both},
      {"the directory's CRC", sun([](MemberPlan& m) { m.CrcFlip = 1; }),
       broken("damaged: CRC mismatch")},
      {"the directory's size", sun([](MemberPlan& m) { m.CentralSize = 5; }),
       broken("damaged: does not expand to its recorded size of 5 bytes")},
      {"no local header where the directory points",
       sun([](MemberPlan& m) { m.CentralOffsetShift = 1; }),
       broken("damaged: no member header where the directory puts it")},
  };
  ExpectMembers(cases);
}

}  // namespace
}  // namespace tintrel
