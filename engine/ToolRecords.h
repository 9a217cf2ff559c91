// The interactive plot tools as the settings record holds them: flat records, a cursor and a ruler.
// Drawing and mouse handling belong to the plot view; only the state the settings copy lives here.
#pragma once

#include <cstdint>

class CTool
{
public:
    // Flat state of a tool: position (two floats), ARGB colour, angle in degrees, two flags.
    struct FlatRec
    {
        float x = 0.0f;
        float y = 0.0f;
        std::uint32_t color = 0xFF000000u;
        double angle = 0.0;
        std::uint8_t visible = 0;
        std::uint8_t locked = 0;
    };

    CTool() = default;
    explicit CTool(const FlatRec& rec) : m_rec(rec) {}
    virtual ~CTool() = default;

    virtual void GetFlatRec(FlatRec& rec) const { rec = m_rec; }

    FlatRec m_rec;
};

class CRuler : public CTool
{
public:
    struct FlatRec : CTool::FlatRec
    {
        float length = 200.0f;
        std::int32_t numDivisions = 4;
    };

    // Values of a ruler that nobody has configured yet.
    CRuler();
    explicit CRuler(const FlatRec& rec);

    void GetFlatRec(CTool::FlatRec& rec) const override { rec = m_rec; }
    void GetRulerRec(FlatRec& rec) const;

    float m_length = 200.0f;
    std::int32_t m_numDivisions = 4;
};

class CCursor : public CTool
{
public:
    using FlatRec = CTool::FlatRec;

    CCursor();
    explicit CCursor(const FlatRec& rec) : CTool(rec) {}

    // When on, the cursor reads out the d spacing of its x position.
    std::uint8_t m_showDSpacing = 0;
};
