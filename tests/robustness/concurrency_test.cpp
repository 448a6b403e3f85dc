// Decoders on different handles decode in parallel threads with results
// identical to a serial run, also while other threads create and release
// decoders and look up handles that name none.  scripts/test-threads.sh runs
// these under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "robust_decode.h"
#include "tavrin.h"

namespace robustness {
namespace {

struct Job {
  const char* name;
  int32_t width;
  int32_t height;
  int32_t videoQuality;
  int32_t postFilter;
};

const Job kJobs[] = {
    {"mpeg4_ipb.m4v", 176, 144, 0, 0},       {"xvid_ipb_mv4.m4v", 176, 144, 0, 2},
    {"mpeg4_ipb.m4v", 176, 144, 0, 1},       {"robustness/packets_ipb.m4v", 176, 144, 1, 0},
    {"mpeg4_ipb_cif.m4v", 352, 288, 0, 2},   {"xvid_150x98.m4v", 150, 98, 1, 1},
};

// One value per call: its result and a digest of the picture it described.
using Digest = std::vector<uint64_t>;

Digest DigestOf(const Decoded& d) {
  Digest digest;
  for (const CallResult& call : d.calls) {
    uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(call.result);
    for (uint8_t b : call.picture) h = (h ^ b) * 1099511628211ull;
    digest.push_back(h);
  }
  return digest;
}

Digest Play(const Stream& stream, const Job& job) {
  Settings settings;
  settings.videoQuality = job.videoQuality;
  settings.postFilter = job.postFilter;
  return DigestOf(DecodeAll(stream, settings));
}

struct Prepared {
  std::vector<Stream> streams;
  std::vector<Digest> serial;
};

Prepared Prepare() {
  Prepared p;
  for (const Job& job : kJobs) {
    p.streams.push_back(LoadStream(job.name, job.width, job.height));
    p.serial.push_back(Play(p.streams.back(), job));
  }
  return p;
}

void RunInParallel(std::vector<std::function<void()>> work) {
  std::vector<std::thread> threads;
  for (auto& w : work) threads.emplace_back(std::move(w));
  for (auto& t : threads) t.join();
}

TEST(Concurrency, ParallelDecodersMatchASerialRun) {
  const Prepared p = Prepare();
  std::vector<Digest> parallel(std::size(kJobs));
  std::vector<std::function<void()>> work;
  for (size_t i = 0; i < std::size(kJobs); ++i)
    work.push_back([&, i] { parallel[i] = Play(p.streams[i], kJobs[i]); });
  RunInParallel(std::move(work));
  for (size_t i = 0; i < std::size(kJobs); ++i)
    EXPECT_EQ(parallel[i], p.serial[i]) << kJobs[i].name << " job " << i;
}

// A recorder opens and closes cameras while others play.
TEST(Concurrency, CreateAndReleaseWhileOthersDecode) {
  const Prepared p = Prepare();
  std::atomic<int> playing{3};
  std::atomic<bool> mismatch{false};
  std::atomic<size_t> cycles{0}, probes{0};
  std::vector<std::function<void()>> work;
  for (size_t i : {0, 1, 4}) {
    work.push_back([&, i] {
      for (int round = 0; round < 3; ++round)
        if (Play(p.streams[i], kJobs[i]) != p.serial[i]) mismatch = true;
      --playing;
    });
  }
  // Creates decoders (some from headers it cannot use), decodes a picture
  // or two, changes settings, releases.
  work.push_back([&] {
    for (size_t n = 0; playing > 0 || n < 50; ++n) {
      const Stream& s = p.streams[n % p.streams.size()];
      DecoderInput in{};
      in.data = s.header.data();
      in.length = static_cast<uint32_t>(n % 5 == 4 ? s.header.size() / 2 : s.header.size());
      in.width = s.width;
      in.height = s.height;
      DecoderOutput out{};
      const TavrinHandle h = TavrinDecoder_CreateDecoder(&in, &out);
      if (h == 0) continue;
      TavrinDecoder_SetVideoQuality(h, static_cast<int32_t>(n % 2));
      TavrinDecoder_SetPostFilter(h, static_cast<int32_t>(n % 3));
      for (size_t k = 0; k < n % 3 && k < s.pictures.size(); ++k) {
        DecoderInput frame{};
        frame.data = s.pictures[k].data();
        frame.length = static_cast<uint32_t>(s.pictures[k].size());
        TavrinDecoder_DecoderOneFrame(h, &frame, &out);
      }
      TavrinDecoder_ReleaseDecoder(h);
      ++cycles;
    }
  });
  // Calls with values that never name a decoder (decoders are aligned, so
  // odd values name none) while the set of decoders changes.
  work.push_back([&] {
    DecoderOutput out{};
    DecoderInput frame{};
    for (uintptr_t v = 1; playing > 0; v += 2) {
      if (TavrinDecoder_DecoderOneFrame(v, &frame, &out) != 0 ||
          TavrinDecoder_SetPostFilter(v, 1) != 0 || TavrinDecoder_ReleaseDecoder(v) != 0)
        mismatch = true;
      ++probes;
    }
  });
  RunInParallel(std::move(work));
  EXPECT_FALSE(mismatch);
  EXPECT_GE(cycles.load(), 50u);
  EXPECT_GT(probes.load(), 0u);
}

}  // namespace
}  // namespace robustness
