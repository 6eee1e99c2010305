#include "imaging/resampler.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ce {
namespace {

inline float channel(ARGB c, int shift) { return float((c >> shift) & 255); }

inline ARGB packRounded(const std::array<float, 4> &v) {
  ARGB out = 0;
  for (int i = 0; i < 4; ++i) {
    const float clamped = std::clamp(v[std::size_t(i)], 0.0f, 255.0f);
    out |= ARGB(std::uint32_t(clamped + 0.5f)) << (i * 8);
  }
  return out;
}

// One destination coordinate's share of the source: (source index, weight).
struct Tap {
  UINT index;
  float weight;
};

// For area averaging: the source pixels each destination pixel covers, weighted by overlap.
std::vector<std::vector<Tap>> coverage(UINT sourceSize, UINT destSize) {
  std::vector<std::vector<Tap>> taps(destSize);
  const double scale = double(sourceSize) / destSize;
  for (UINT d = 0; d < destSize; ++d) {
    const double from = d * scale, to = (d + 1) * scale;
    const UINT first = UINT(from);
    const UINT last = std::min<UINT>(UINT(std::ceil(to)), sourceSize);
    for (UINT s = first; s < last; ++s) {
      const double overlap = std::min<double>(to, s + 1) - std::max<double>(from, s);
      if (overlap > 1e-9)
        taps[d].push_back({s, float(overlap / scale)});
    }
    if (taps[d].empty())
      taps[d].push_back({std::min(first, sourceSize - 1), 1.0f});
  }
  return taps;
}

} // namespace

Resampler::Method Resampler::forHint(UINT hint) {
  if (hint == InterpolationHintDefault)
    return Method::Nearest;
  if (hint == InterpolationHintAveraging)
    return Method::Averaging;
  return Method::Bilinear;
}

std::vector<ARGB> Resampler::resize(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                    UINT dh, Method method) {
  if (sw == dw && sh == dh)
    return source;
  switch (method) {
  case Method::Nearest:
    return nearest(source, sw, sh, dw, dh);
  case Method::Bilinear:
    return bilinear(source, sw, sh, dw, dh);
  case Method::Averaging:
    return averaging(source, sw, sh, dw, dh);
  }
  return {};
}

std::vector<ARGB> Resampler::nearest(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                     UINT dh) {
  std::vector<ARGB> out(std::size_t(dw) * dh);
  std::vector<UINT> columns(dw);
  for (UINT x = 0; x < dw; ++x)
    columns[x] = UINT((2ull * x + 1) * sw / (2ull * dw));
  for (UINT y = 0; y < dh; ++y) {
    const UINT sy = UINT((2ull * y + 1) * sh / (2ull * dh));
    const ARGB *in = source.data() + std::size_t(sy) * sw;
    ARGB *o = out.data() + std::size_t(y) * dw;
    for (UINT x = 0; x < dw; ++x)
      o[x] = in[columns[x]];
  }
  return out;
}

std::vector<ARGB> Resampler::bilinear(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                      UINT dh) {
  struct Sample {
    UINT lo, hi;
    float f;
  };
  auto samples = [](UINT s, UINT d) {
    std::vector<Sample> v(d);
    for (UINT i = 0; i < d; ++i) {
      const double pos = std::clamp((i + 0.5) * s / d - 0.5, 0.0, double(s - 1));
      const UINT lo = UINT(pos);
      v[i] = {lo, std::min(lo + 1, s - 1), float(pos - lo)};
    }
    return v;
  };
  const auto xs = samples(sw, dw), ys = samples(sh, dh);
  std::vector<ARGB> out(std::size_t(dw) * dh);
  for (UINT y = 0; y < dh; ++y) {
    const ARGB *r0 = source.data() + std::size_t(ys[y].lo) * sw;
    const ARGB *r1 = source.data() + std::size_t(ys[y].hi) * sw;
    const float fy = ys[y].f;
    for (UINT x = 0; x < dw; ++x) {
      const Sample &sx = xs[x];
      std::array<float, 4> v{};
      for (int c = 0; c < 4; ++c) {
        const int shift = c * 8;
        const float top = channel(r0[sx.lo], shift) * (1 - sx.f) + channel(r0[sx.hi], shift) * sx.f;
        const float bottom =
            channel(r1[sx.lo], shift) * (1 - sx.f) + channel(r1[sx.hi], shift) * sx.f;
        v[std::size_t(c)] = top * (1 - fy) + bottom * fy;
      }
      out[std::size_t(y) * dw + x] = packRounded(v);
    }
  }
  return out;
}

std::vector<ARGB> Resampler::averaging(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                       UINT dh) {
  const auto xTaps = coverage(sw, dw), yTaps = coverage(sh, dh);
  // Horizontal pass into floats (dw x sh), then the vertical pass.
  std::vector<std::array<float, 4>> rows(std::size_t(dw) * sh);
  for (UINT y = 0; y < sh; ++y) {
    const ARGB *in = source.data() + std::size_t(y) * sw;
    for (UINT x = 0; x < dw; ++x) {
      std::array<float, 4> v{};
      for (const Tap &t : xTaps[x])
        for (int c = 0; c < 4; ++c)
          v[std::size_t(c)] += channel(in[t.index], c * 8) * t.weight;
      rows[std::size_t(y) * dw + x] = v;
    }
  }
  std::vector<ARGB> out(std::size_t(dw) * dh);
  for (UINT y = 0; y < dh; ++y) {
    for (UINT x = 0; x < dw; ++x) {
      std::array<float, 4> v{};
      for (const Tap &t : yTaps[y]) {
        const auto &r = rows[std::size_t(t.index) * dw + x];
        for (std::size_t c = 0; c < 4; ++c)
          v[c] += r[c] * t.weight;
      }
      out[std::size_t(y) * dw + x] = packRounded(v);
    }
  }
  return out;
}

} // namespace ce
