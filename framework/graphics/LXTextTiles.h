// Text boxes drawn again and again with the same texts (tick labels, axis titles), and the tile
// cache that they and the plot's peak labels keep their drawn texts in.
#pragma once
#include "CString.h"
#include "GdiPlus.h"
#include "LXSyncRect.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// DrawTextBox with the same pixels: on an image at whole-pixel offsets, a single line is laid
// out and drawn once into a tile of its own, and copied from there at every later call.
void DrawTextBoxFromTile(Gdiplus::Graphics* graphics, LPCWSTR text, const CString& family, float size, UINT style,
                         Gdiplus::ARGB colour, const LXGraphics::CSyncRect& box);

namespace LXGraphics {

// A float's bits, the two zeros alike as they compare: the library's float hash runs a
// byte-string hash over four bytes.
inline std::size_t FloatBits(float f)
{
    return f == 0 ? 0 : std::size_t(std::bit_cast<std::uint32_t>(f));
}

inline void MixHash(std::size_t& h, std::size_t v)
{
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
}

// The pixels a drawn text covers, at their offset from the point it was drawn from (no bitmap when
// it covers none): copying the transparent rest of its square changes no pixel but costs the time.
struct CTextTile
{
    std::shared_ptr<Gdiplus::Bitmap> bitmap;
    int left = 0, top = 0;
};

// Cuts the covered pixels out of `drawn`, a premultiplied square drawn from (originX, originY).
CTextTile CropCovered(Gdiplus::Bitmap& drawn, int originX, int originY);

// What a tile costs a cache: its pixels and a little for the entry.
inline std::size_t TileCost(const CTextTile& tile)
{
    return tile.bitmap ? std::size_t(tile.bitmap->GetWidth()) * tile.bitmap->GetHeight() + 64 : 64;
}

// Kept for drawn texts (sizes, tiles): values by text, face and Look (what else they depend on; it
// has operator== and Hash()), looked up by views of the texts, so that a hit copies no string.
// Starts over rather than let the costs of what it keeps pass `maxCost`.
template <class Look, class Value>
class CTextKeyedCache
{
public:
    struct Key
    {
        std::wstring_view text, face;
        Look look;
    };

    explicit CTextKeyedCache(std::size_t maxCost) : m_maxCost(maxCost) {}

    bool Find(const Key& key, Value& value)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_kept.find(key);
        if (it == m_kept.end()) return false;
        value = it->second;
        return true;
    }

    void Keep(const Key& key, const Value& value, std::size_t cost = 1)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_cost + cost > m_maxCost) {
            m_kept.clear();
            m_cost = 0;
        }
        if (m_kept.emplace(Kept{std::wstring(key.text), std::wstring(key.face), key.look}, value).second)
            m_cost += cost;
    }

private:
    struct Kept
    {
        std::wstring text, face;
        Look look;
        operator Key() const { return {text, face, look}; }
    };
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(const Key& k) const
        {
            std::size_t h = std::hash<std::wstring_view>()(k.text);
            MixHash(h, std::hash<std::wstring_view>()(k.face));
            MixHash(h, k.look.Hash());
            return h;
        }
        std::size_t operator()(const Kept& k) const { return (*this)(Key(k)); }
    };
    struct Equal
    {
        using is_transparent = void;
        bool operator()(const Key& a, const Key& b) const
        {
            return a.text == b.text && a.face == b.face && a.look == b.look;
        }
        bool operator()(const Kept& a, const Key& b) const { return (*this)(Key(a), b); }
        bool operator()(const Key& a, const Kept& b) const { return (*this)(a, Key(b)); }
        bool operator()(const Kept& a, const Kept& b) const { return (*this)(Key(a), Key(b)); }
    };

    const std::size_t m_maxCost;
    std::size_t m_cost = 0;
    std::mutex m_lock;
    std::unordered_map<Kept, Value, Hash, Equal> m_kept;
};

}  // namespace LXGraphics
