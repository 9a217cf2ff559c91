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
    // Tells the tool's view that the tool changed; a tool without a view has nothing to tell.
    virtual void Notify(int code, int value) { (void)code, (void)value; }
    // A tool that is on is hidden, switched off and notified (4, 0).
    void Deactivate()
    {
        if (!m_on) return;
        m_rec.visible = 0;
        m_on = 0;
        Notify(4, 0);
    }

    FlatRec m_rec;
    std::uint8_t m_on = 0;  // switched on
};

class CRuler : public CTool
{
    static CTool::FlatRec DefaultRec()
    {
        CTool::FlatRec rec;
        rec.color = 0xD81919FFu;  // blue at 85 % opacity
        return rec;
    }

public:
    struct FlatRec : CTool::FlatRec
    {
        float length = 200.0f;
        std::int32_t numDivisions = 4;
    };

    // Values of a ruler that nobody has configured yet.
    CRuler() : CTool(DefaultRec()), m_length(200.0f), m_numDivisions(4) {}
    explicit CRuler(const FlatRec& rec) : CTool(rec), m_length(rec.length), m_numDivisions(rec.numDivisions) {}

    void GetRulerRec(FlatRec& rec) const
    {
        static_cast<CTool::FlatRec&>(rec) = m_rec;
        rec.length = m_length;
        rec.numDivisions = m_numDivisions;
    }

    float m_length = 200.0f;
    std::int32_t m_numDivisions = 4;
};

class CCursor : public CTool
{
    static CTool::FlatRec DefaultRec()
    {
        CTool::FlatRec rec;
        rec.color = 0xFFFF0000u;  // opaque red
        return rec;
    }

public:
    using FlatRec = CTool::FlatRec;

    CCursor() : CTool(DefaultRec()) {}
    explicit CCursor(const FlatRec& rec) : CTool(rec) {}

    // When on, the cursor reads out the d spacing of its x position.
    std::uint8_t m_showDSpacing = 0;
    double m_x = 0.0;         // position on the x axis
    std::uint8_t m_xSet = 0;  // m_x has been set
};
