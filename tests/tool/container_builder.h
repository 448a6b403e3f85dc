// Hand-built AVI chunks and ISO media boxes for the container reader tests.
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

}  // namespace containertests
