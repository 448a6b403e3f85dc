// Hand-built AVI chunks, ISO media boxes and Matroska elements for the
// container reader tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace containertests {

using Bytes = std::vector<uint8_t>;

inline void PutLe32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutLe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutBe32(Bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutBe16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
inline void PutTag(Bytes& b, const std::string& tag) {
  for (std::size_t i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(i < tag.size() ? tag[i] : ' '));
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// --- RIFF ------------------------------------------------------------------

inline Bytes Chunk(const std::string& tag, const Bytes& body) {
  Bytes b;
  PutTag(b, tag);
  PutLe32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}
inline Bytes List(const std::string& tag, const std::string& type, const Bytes& body) {
  Bytes inner;
  PutTag(inner, type);
  inner.insert(inner.end(), body.begin(), body.end());
  return Chunk(tag, inner);
}

// strh and strf of a stream: type "vids" with the FourCC, rate/scale.
inline Bytes StreamList(const std::string& type, const std::string& fourcc, int width, int height,
                        uint32_t rate = 25, uint32_t scale = 1, const Bytes& extra = {}) {
  Bytes strh;
  PutTag(strh, type);
  PutTag(strh, fourcc);
  PutLe32(strh, 0);       // flags
  PutLe32(strh, 0);       // priority, language
  PutLe32(strh, 0);       // initial frames
  PutLe32(strh, scale);
  PutLe32(strh, rate);
  PutLe32(strh, 0);       // start
  PutLe32(strh, 0);       // length
  for (int i = 0; i < 5; ++i) PutLe32(strh, 0);
  Bytes strf;
  PutLe32(strf, 40);
  PutLe32(strf, static_cast<uint32_t>(width));
  PutLe32(strf, static_cast<uint32_t>(height));
  PutLe16(strf, 1);
  PutLe16(strf, 24);
  PutTag(strf, fourcc);
  for (int i = 0; i < 5; ++i) PutLe32(strf, 0);
  strf.insert(strf.end(), extra.begin(), extra.end());
  return List("LIST", "strl", Cat({Chunk("strh", strh), Chunk("strf", strf)}));
}

inline Bytes Avi(const Bytes& streams, const Bytes& movi, const std::string& form = "AVI ") {
  return List("RIFF", form, Cat({List("LIST", "hdrl", Cat({Chunk("avih", Bytes(56, 0)), streams})),
                                 List("LIST", "movi", movi)}));
}

// --- ISO media ---------------------------------------------------------------

inline Bytes IsoBox(const std::string& type, const Bytes& body) {
  Bytes b;
  PutBe32(b, static_cast<uint32_t>(body.size() + 8));
  PutTag(b, type);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
inline Bytes FullBox(const std::string& type, const Bytes& body, uint32_t versionAndFlags = 0) {
  Bytes inner;
  PutBe32(inner, versionAndFlags);
  inner.insert(inner.end(), body.begin(), body.end());
  return IsoBox(type, inner);
}
inline Bytes Words(std::initializer_list<uint32_t> words) {
  Bytes b;
  for (uint32_t w : words) PutBe32(b, w);
  return b;
}

// An esds body's descriptors around the given DecoderSpecificInfo.
inline Bytes Esds(const Bytes& specificInfo, uint8_t objectType = 0x20) {
  Bytes info = {0x05, static_cast<uint8_t>(specificInfo.size())};
  info.insert(info.end(), specificInfo.begin(), specificInfo.end());
  Bytes config = {0x04, static_cast<uint8_t>(13 + info.size()), objectType, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  config.insert(config.end(), info.begin(), info.end());
  Bytes es = {0x03, static_cast<uint8_t>(3 + config.size()), 0, 1, 0};
  es.insert(es.end(), config.begin(), config.end());
  return FullBox("esds", es);
}

// A visual sample entry of the given type with its boxes.
inline Bytes SampleEntry(const std::string& type, int width, int height, const Bytes& boxes) {
  Bytes body(78, 0);
  body[7] = 1;  // data reference index
  body[24] = static_cast<uint8_t>(width >> 8);
  body[25] = static_cast<uint8_t>(width);
  body[26] = static_cast<uint8_t>(height >> 8);
  body[27] = static_cast<uint8_t>(height);
  body.insert(body.end(), boxes.begin(), boxes.end());
  return IsoBox(type, body);
}

// moov with one video track whose sample table is stbl.
inline Bytes Movie(const Bytes& stbl, uint32_t timescale = 25, const std::string& handler = "vide") {
  const Bytes mdhd = FullBox("mdhd", Words({0, 0, timescale, 0, 0}));
  Bytes hdlrBody = Words({0});
  PutTag(hdlrBody, handler);
  hdlrBody.resize(hdlrBody.size() + 13, 0);
  const Bytes hdlr = FullBox("hdlr", hdlrBody);
  const Bytes minf = IsoBox("minf", IsoBox("stbl", stbl));
  return IsoBox("moov", IsoBox("trak", IsoBox("mdia", Cat({mdhd, hdlr, minf}))));
}

// --- Matroska ----------------------------------------------------------------

// An EBML variable-length integer of `length` bytes (0: the fewest that
// hold the value without being all ones).
inline Bytes EbmlNumber(uint64_t value, int length = 0) {
  if (length == 0) {
    length = 1;
    while (length < 8 && value >= (uint64_t{1} << (7 * length)) - 1) ++length;
  }
  Bytes b;
  for (int i = length - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
  b[0] |= static_cast<uint8_t>(0x80 >> (length - 1));
  return b;
}
// An element ID as written (its length marker is part of the number).
inline Bytes EbmlId(uint32_t id) {
  Bytes b;
  for (int i = 3; i >= 0; --i) {
    if ((id >> (8 * i)) != 0 || i == 0) b.push_back(static_cast<uint8_t>(id >> (8 * i)));
  }
  return b;
}
inline Bytes Element(uint32_t id, const Bytes& body) {
  return Cat({EbmlId(id), EbmlNumber(body.size()), body});
}
// An element whose size is written as unknown (all value bits set), as
// live recorders write segments and clusters.
inline Bytes OpenElement(uint32_t id, const Bytes& body) {
  return Cat({EbmlId(id), Bytes{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, body});
}
inline Bytes UintElement(uint32_t id, uint64_t value) {
  Bytes body;
  for (int i = 7; i >= 0; --i) {
    if ((value >> (8 * i)) != 0 || !body.empty() || i == 0) body.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  return Element(id, body);
}
inline Bytes TextElement(uint32_t id, const std::string& text) { return Element(id, Bytes(text.begin(), text.end())); }

inline Bytes EbmlHeader(const std::string& docType = "matroska") {
  return Element(0x1A45DFA3, Cat({UintElement(0x4286, 1), TextElement(0x4282, docType), UintElement(0x4287, 4),
                                  UintElement(0x4285, 2)}));
}
inline Bytes SegmentInfo(uint64_t timestampScale = 1000000) {
  return Element(0x1549A966, Cat({UintElement(0x2AD7B1, timestampScale), TextElement(0x4D80, "tests")}));
}

struct MatroskaTrack {
  uint64_t number = 1;
  uint64_t type = 1;  // video
  std::string codecId = "V_MPEG4/ISO/ASP";
  Bytes codecPrivate;
  uint64_t defaultDuration = 40000000;  // 0: none written
  int width = 176, height = 144;
  // ContentEncodings: one compression of this algorithm (header removal,
  // 3, by default) with these settings, when `compressed`.
  bool compressed = false;
  uint64_t algorithm = 3;
  uint64_t scope = 1;
  Bytes removedBytes;
  bool encrypted = false;
};

inline Bytes TrackEntry(const MatroskaTrack& t) {
  Bytes entry = Cat({UintElement(0xD7, t.number), UintElement(0x73C5, t.number), UintElement(0x83, t.type),
                     TextElement(0x86, t.codecId)});
  if (!t.codecPrivate.empty()) entry = Cat({entry, Element(0x63A2, t.codecPrivate)});
  if (t.defaultDuration > 0) entry = Cat({entry, UintElement(0x23E383, t.defaultDuration)});
  entry = Cat({entry, Element(0xE0, Cat({UintElement(0xB0, static_cast<uint64_t>(t.width)),
                                          UintElement(0xBA, static_cast<uint64_t>(t.height))}))});
  if (t.compressed || t.encrypted) {
    Bytes encoding = UintElement(0x5032, t.scope);
    if (t.encrypted) {
      encoding = Cat({encoding, UintElement(0x5033, 1), Element(0x5035, UintElement(0x47E1, 5))});
    } else {
      encoding = Cat({encoding, Element(0x5034, Cat({UintElement(0x4254, t.algorithm), Element(0x4255, t.removedBytes)}))});
    }
    entry = Cat({entry, Element(0x6D80, Element(0x6240, encoding))});
  }
  return Element(0xAE, entry);
}
inline Bytes Tracks(std::initializer_list<MatroskaTrack> tracks) {
  Bytes all;
  for (const MatroskaTrack& t : tracks) all = Cat({all, TrackEntry(t)});
  return Element(0x1654AE6B, all);
}

// Block bodies: the track number, the time relative to the cluster's, the
// flags (lacing in bits 1-2), then the frames, laced as asked: 0 none (one
// frame), 1 Xiph, 2 fixed size, 3 EBML.
inline Bytes BlockBody(uint64_t track, int16_t relativeTime, uint8_t flags, const std::vector<Bytes>& frames,
                       int lacing = 0) {
  Bytes b = EbmlNumber(track);
  b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(relativeTime) >> 8));
  b.push_back(static_cast<uint8_t>(relativeTime));
  b.push_back(static_cast<uint8_t>(flags | (lacing << 1)));
  if (lacing != 0) {
    b.push_back(static_cast<uint8_t>(frames.size() - 1));
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
      const uint64_t size = frames[i].size();
      if (lacing == 1) {
        for (uint64_t left = size; ; left -= 255) {
          b.push_back(static_cast<uint8_t>(left >= 255 ? 255 : left));
          if (left < 255) break;
        }
      } else if (lacing == 3) {
        if (i == 0) {
          b = Cat({b, EbmlNumber(size)});
        } else {
          // A difference from the size before, with a bias of half the
          // range of a 4-byte number.
          const int64_t delta = static_cast<int64_t>(size) - static_cast<int64_t>(frames[i - 1].size());
          b = Cat({b, EbmlNumber(static_cast<uint64_t>(delta + (int64_t{1} << 27) - 1), 4)});
        }
      }
    }
  }
  for (const Bytes& f : frames) b = Cat({b, f});
  return b;
}
inline Bytes SimpleBlock(uint64_t track, int16_t relativeTime, const std::vector<Bytes>& frames, int lacing = 0) {
  return Element(0xA3, BlockBody(track, relativeTime, 0, frames, lacing));
}
inline Bytes BlockGroup(uint64_t track, int16_t relativeTime, const Bytes& frame) {
  return Element(0xA0, Cat({Element(0xA1, BlockBody(track, relativeTime, 0, {frame})), UintElement(0x9B, 1)}));
}
inline Bytes Cluster(uint64_t timestamp, const Bytes& blocks, bool unknownSize = false) {
  const Bytes body = Cat({UintElement(0xE7, timestamp), blocks});
  return unknownSize ? OpenElement(0x1F43B675, body) : Element(0x1F43B675, body);
}
inline Bytes Matroska(const Bytes& segmentBody, bool unknownSize = false, const std::string& docType = "matroska") {
  return Cat({EbmlHeader(docType), unknownSize ? OpenElement(0x18538067, segmentBody) : Element(0x18538067, segmentBody)});
}

}  // namespace containertests
