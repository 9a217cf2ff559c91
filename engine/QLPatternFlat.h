// The flat byte form of patterns that a drag carries between processes: the bounded reader,
// the field writers and the transfer block around a list of patterns. Each kind's own form is
// written by its Flatten and read by its CreateFromFlatBuffer (QLPatternFlat.cpp).
#pragma once

#include "QLPattern.h"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

// Kind codes of the flat form; a mixture is 4 here, not its pattern type 3.
enum : std::uint32_t
{
    kFlatObserved = 1,
    kFlatCrystal = 2,
    kFlatMixture = 4,
};

// Thrown by CQLFlatReader when a count or a field would run past the end of the block, and by
// the form readers when a form breaks the limits below: the block counts as ending there.
struct CQLFlatOverrun
{
};

// Mixtures nested deeper are refused, as the session reader refuses them.
inline constexpr int kMaxFlatNesting = 32;
// The most operators a space group has with its centring (F m -3 m: 192).
inline constexpr std::uint64_t kMaxFlatOperators = 192;

// A cursor over a received block that never reads past its end.
class CQLFlatReader
{
public:
    CQLFlatReader(const std::uint8_t* data, std::uint64_t size) : m_cursor(data), m_end(data + size) {}

    std::uint64_t Remaining() const { return std::uint64_t(m_end - m_cursor); }
    // The next n bytes, skipped over.
    const std::uint8_t* Take(std::uint64_t n);
    template <class T>
    T Read()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value;
        std::memcpy(&value, Take(sizeof(T)), sizeof(T));
        return value;
    }
    // Reads 8 bytes and advances.
    std::uint64_t ReadFlat8() { return Read<std::uint64_t>(); }
    // A count of records of at least recordSize bytes each that the rest of the block can hold.
    std::uint64_t ReadCount(std::uint64_t recordSize);
    CString ReadString();
    void ReadPoints(CQLProfile& out);

private:
    const std::uint8_t* m_cursor;
    const std::uint8_t* m_end;
};

// Field writers: each puts its bytes at the cursor and advances it.
template <class T>
void WriteFlat(std::uint8_t*& cursor, const T& value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(cursor, &value, sizeof(T));
    cursor += sizeof(T);
}
void WriteFlatString(std::uint8_t*& cursor, const CString& text);
void WriteFlatPoints(std::uint8_t*& cursor, const CQLProfile& points);
// The bytes WriteFlatString and WriteFlatPoints write.
std::uint64_t FlatStringSize(const CString& text);
inline std::uint64_t FlatPointsSize(const CQLProfile& points) { return 8 + 16 * std::uint64_t(points.size()); }

// The transfer block of a drag: u32 source process, u64 address of the source's list, u64
// pattern count, then each top-level pattern's form.
std::vector<std::uint8_t> FlattenPatternList(const CQLPatternList& list, std::uint32_t processId,
                                             std::uint64_t listAddress);

// What the receiving side finds in a block. From its own process the patterns are taken from
// the source list unparsed; from another, each form is read until the end, an unknown kind or a
// form cut short, and the patterns complete by then are kept.
struct CQLFlatDrop
{
    bool sameProcess = false;
    std::uint64_t listAddress = 0;
    CQLPatternList patterns;
};
CQLFlatDrop ReadFlatPatternList(const std::uint8_t* data, std::uint64_t size, std::uint32_t ownProcessId);

// Whether a kind code names a form that ReadFlatPattern reads.
bool IsFlatPatternKind(std::uint32_t kind);
// One form by its kind code, the reader just behind the code; null for an unknown kind, and for a
// crystal whose cell no editor takes: that form is read past, and an alert names it. depth: the
// mixtures around the form (0 at the top level).
CQLPatternPtr ReadFlatPattern(std::uint32_t kind, CQLFlatReader& reader, int depth = 0);
