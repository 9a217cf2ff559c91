// The flat byte form of crystal, mixture and observed patterns and of the drag's transfer block.
// Images are zeroed blocks with each field at its fixed offset; numbers are little-endian.
#include "QLPatternFlat.h"

#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "SpaceGroups.h"
#include "Utf16.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::uint64_t kCrystalImageSize = 696;
constexpr std::uint64_t kMixtureImageSize = 248;
constexpr std::uint64_t kObservedImageSize = 416;
constexpr std::uint64_t kOperatorSize = 96;
constexpr std::uint64_t kReflexionSize = 96;
constexpr std::uint64_t kSiteImageSize = 112;
constexpr std::uint64_t kControlPointSize = 80;
constexpr std::uint64_t kOrientationSize = 41;
// Site image, species and position counts and the displacement byte.
constexpr std::uint64_t kSiteFixedSize = kSiteImageSize + 8 + 8 + 1;
constexpr std::uint64_t kTransferHeaderSize = 20;

template <class T>
void Put(std::uint8_t* image, std::size_t offset, const T& value)
{
    std::memcpy(image + offset, &value, sizeof(T));
}

template <class T>
T Get(const std::uint8_t* image, std::size_t offset)
{
    T value;
    std::memcpy(&value, image + offset, sizeof(T));
    return value;
}

void PutCurveStyle(std::uint8_t* image, std::size_t offset, const CQLCurveStyle& s, bool withMarkerSize)
{
    Put(image, offset, s.color);
    Put(image, offset + 4, s.lineStyle);
    Put(image, offset + 8, s.lineWidth);
    Put(image, offset + 12, s.markerStyle);
    if (withMarkerSize) Put(image, offset + 16, s.markerSize);
}

void GetCurveStyle(const std::uint8_t* image, std::size_t offset, CQLCurveStyle& s, bool withMarkerSize)
{
    s.color = Get<std::uint32_t>(image, offset);
    s.lineStyle = Get<std::uint32_t>(image, offset + 4);
    s.lineWidth = Get<float>(image, offset + 8);
    s.markerStyle = Get<std::uint32_t>(image, offset + 12);
    if (withMarkerSize) s.markerSize = Get<float>(image, offset + 16);
}

// The operators a receiver needs to find the group again: the crystal's own list, or its
// symbol's, with the centring translations, each once. The form carries no symbol or lattice.
std::vector<CSymmetryOperator> OperatorsToCarry(const CQLCrystal& crystal)
{
    std::vector<CSymmetryOperator> full;
    crystal.GetFullOperatorList(full);
    std::vector<CSymmetryOperator> unique;
    for (const CSymmetryOperator& op : full)
        if (std::none_of(unique.begin(), unique.end(), [&](const CSymmetryOperator& u) {
                return u.HasSameRotation(op) && u.HasSameTranslation(op);
            }))
            unique.push_back(op);
    return unique;
}

std::uint64_t SiteSize(const CQLSite& site)
{
    std::uint64_t size = kSiteFixedSize + 24 * std::uint64_t(site.m_positions.size());
    for (const CSiteSpecies& s : site.m_species) size += FlatStringSize(s.m_name) + 8;
    if (site.m_displacement) {
        size += 9;
        if (dynamic_cast<const CQLAnisoThermalEllipsoid*>(site.m_displacement.get())) size += 72;
    }
    return size;
}

// The operator, site and reflexion blocks of a crystal, or three empty blocks without one.
std::uint64_t CrystalBlocksSize(const CQLCrystal* crystal)
{
    if (!crystal) return 24;
    std::uint64_t size = 8 + kOperatorSize * OperatorsToCarry(*crystal).size();
    size += 8;
    for (const CQLSite& site : crystal->m_sites) size += SiteSize(site);
    size += 8 + kReflexionSize * crystal->m_reflexions.size();
    return size;
}

void WriteSite(std::uint8_t*& cursor, const CQLSite& site)
{
    std::uint8_t image[kSiteImageSize] = {};
    Put<std::uint8_t>(image, 48, site.m_fillVacancies ? 1 : 0);
    Put(image, 64, site.m_x);
    Put(image, 72, site.m_y);
    Put(image, 80, site.m_z);
    Put<std::uint8_t>(image, 88, site.m_included ? 1 : 0);
    Put(image, 104, site.m_speciesGroup);
    std::memcpy(cursor, image, sizeof image);
    cursor += sizeof image;

    WriteFlat<std::uint64_t>(cursor, site.m_species.size());
    for (const CSiteSpecies& s : site.m_species) {
        // The whole name travels: two code units would turn "H-1" into "H-", which matches no record.
        WriteFlatString(cursor, s.m_name);
        WriteFlat(cursor, s.m_occupancy);
    }
    WriteFlat<std::uint64_t>(cursor, site.m_positions.size());
    for (const QLPosition& p : site.m_positions)
        for (double v : p) WriteFlat(cursor, v);
    const CQLThermalEllipsoid* displacement = site.m_displacement.get();
    WriteFlat<std::uint8_t>(cursor, displacement ? 1 : 0);
    if (!displacement) return;
    const auto* aniso = dynamic_cast<const CQLAnisoThermalEllipsoid*>(displacement);
    WriteFlat<std::uint8_t>(cursor, aniso ? 1 : 0);
    WriteFlat(cursor, displacement->m_u);
    if (aniso)
        for (double b : aniso->m_beta) WriteFlat(cursor, b);
}

void WriteReflexion(std::uint8_t*& cursor, const CQLReflexion& r)
{
    std::uint8_t record[kReflexionSize] = {};
    Put(record, 0, r.h);
    Put(record, 4, r.k);
    Put(record, 8, r.l);
    Put(record, 12, r.multiplicity);
    Put(record, 16, r.indexNorm);
    Put(record, 24, r.d);
    Put(record, 32, r.x);
    Put(record, 40, r.intensity);
    Put(record, 48, r.relativeIntensity);
    Put(record, 56, r.phase);
    Put(record, 64, r.A);
    Put(record, 72, r.B);
    Put(record, 80, r.lorentzPolarisation);
    Put(record, 88, r.width);
    std::memcpy(cursor, record, sizeof record);
    cursor += sizeof record;
}

CQLReflexion ReadReflexion(CQLFlatReader& reader)
{
    const std::uint8_t* record = reader.Take(kReflexionSize);
    CQLReflexion r;
    r.h = Get<std::int32_t>(record, 0);
    r.k = Get<std::int32_t>(record, 4);
    r.l = Get<std::int32_t>(record, 8);
    r.multiplicity = Get<std::int32_t>(record, 12);
    r.indexNorm = Get<std::int32_t>(record, 16);
    r.d = Get<double>(record, 24);
    r.x = Get<double>(record, 32);
    r.intensity = Get<double>(record, 40);
    r.relativeIntensity = Get<double>(record, 48);
    r.phase = Get<double>(record, 56);
    r.A = Get<double>(record, 64);
    r.B = Get<double>(record, 72);
    r.lorentzPolarisation = Get<double>(record, 80);
    r.width = Get<double>(record, 88);
    return r;
}

void WriteCrystalBlocks(std::uint8_t*& cursor, const CQLCrystal* crystal)
{
    if (!crystal) {
        for (int i = 0; i < 3; ++i) WriteFlat<std::uint64_t>(cursor, 0);
        return;
    }
    const std::vector<CSymmetryOperator> ops = OperatorsToCarry(*crystal);
    WriteFlat<std::uint64_t>(cursor, ops.size());
    for (const CSymmetryOperator& op : ops) {
        for (const auto& row : op.m_rotation)
            for (double v : row) WriteFlat(cursor, v);
        for (double v : op.m_translation) WriteFlat(cursor, v);
    }
    WriteFlat<std::uint64_t>(cursor, crystal->m_sites.size());
    for (const CQLSite& site : crystal->m_sites) WriteSite(cursor, site);
    WriteFlat<std::uint64_t>(cursor, crystal->m_reflexions.size());
    for (const auto& r : crystal->m_reflexions) WriteReflexion(cursor, *r);
}

CQLSite ReadSite(CQLFlatReader& reader, const CQLCrystal& crystal)
{
    const std::uint8_t* image = reader.Take(kSiteImageSize);
    CQLSite site;
    site.m_fillVacancies = Get<std::uint8_t>(image, 48) != 0;
    site.m_x = Get<double>(image, 64);
    site.m_y = Get<double>(image, 72);
    site.m_z = Get<double>(image, 80);
    site.m_included = Get<std::uint8_t>(image, 88) != 0;
    site.m_speciesGroup = Get<std::int64_t>(image, 104);

    const std::uint64_t species = reader.ReadCount(16);
    for (std::uint64_t i = 0; i < species; ++i) {
        const CString name = reader.ReadString();
        const double occupancy = reader.Read<double>();
        site.m_species.emplace_back(name.GetString(), occupancy);  // looks its record up anew
    }
    const std::uint64_t positions = reader.ReadCount(24);
    site.m_positions.reserve(positions);
    for (std::uint64_t i = 0; i < positions; ++i) {
        QLPosition p;
        for (double& v : p) v = reader.Read<double>();
        site.m_positions.push_back(p);
    }
    if (reader.Read<std::uint8_t>() != 0) {
        const bool anisotropic = reader.Read<std::uint8_t>() != 0;
        const double u = reader.Read<double>();
        if (anisotropic) {
            const double zero[9] = {};
            auto aniso = std::make_unique<CQLAnisoThermalEllipsoid>(zero, crystal.m_aStar, crystal.m_bStar,
                                                                    crystal.m_cStar);
            for (double& b : aniso->m_beta) b = reader.Read<double>();
            aniso->m_u = u;
            site.m_displacement = std::move(aniso);
        } else {
            site.m_displacement = std::make_unique<CQLThermalEllipsoid>(u);
        }
    }
    return site;
}

// A crystallographic rotation on fractional coordinates: whole numbers, determinant ±1.
bool IsLatticeRotation(const CSymmetryOperator& op)
{
    const auto& r = op.m_rotation;
    for (const auto& row : r)
        for (double v : row)
            if (!std::isfinite(v) || std::fabs(v) > 1e6 || std::fabs(v - std::round(v)) > kOperatorTolerance) return false;
    for (double t : op.m_translation)
        if (!std::isfinite(t)) return false;
    const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                       r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                       r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
    return std::fabs(std::fabs(det) - 1.0) < 0.5;
}

void ReadCrystalBlocks(CQLFlatReader& reader, CQLCrystal* crystal)
{
    // Checked before anything is expanded: thousands of operators over thousands of sites take
    // minutes, and a rotation that is no lattice rotation makes no crystal.
    const std::uint64_t operators = reader.ReadCount(kOperatorSize);
    if (operators > kMaxFlatOperators) throw CQLFlatOverrun();
    std::vector<CSymmetryOperator> ops(operators);
    for (CSymmetryOperator& op : ops) {
        for (auto& row : op.m_rotation)
            for (double& v : row) v = reader.Read<double>();
        for (double& v : op.m_translation) v = reader.Read<double>();
        if (!IsLatticeRotation(op)) throw CQLFlatOverrun();
    }
    const std::uint64_t sites = reader.ReadCount(kSiteFixedSize);
    std::vector<CQLSite> siteList;
    siteList.reserve(sites);
    const CQLCrystal none;
    for (std::uint64_t i = 0; i < sites; ++i) siteList.push_back(ReadSite(reader, crystal ? *crystal : none));
    const std::uint64_t reflexions = reader.ReadCount(kReflexionSize);
    std::vector<std::shared_ptr<CQLReflexion>> reflexionList;
    reflexionList.reserve(reflexions);
    for (std::uint64_t i = 0; i < reflexions; ++i)
        reflexionList.push_back(std::make_shared<CQLReflexion>(ReadReflexion(reader)));
    if (!crystal) return;  // a form without a crystal carries empty blocks

    crystal->m_sites = std::move(siteList);
    crystal->m_reflexions = std::move(reflexionList);
    crystal->m_operators = std::move(ops);
    if (crystal->m_operators.empty()) return;
    // The symbol, lattice and setting come back from the operators. Expanding again restores
    // the rotation of each image, which an anisotropic tensor follows; a site whose images do
    // not come out alike keeps the positions it came with.
    crystal->IdentifySpaceGroup();
    std::vector<std::vector<QLPosition>> carried;
    for (const CQLSite& site : crystal->m_sites) carried.push_back(site.m_positions);
    crystal->ExpandSitesBySymmetry();
    for (size_t i = 0; i < crystal->m_sites.size(); ++i) {
        CQLSite& site = crystal->m_sites[i];
        if (site.m_positions.size() == carried[i].size()) continue;
        site.m_positions = std::move(carried[i]);
        site.m_imageRotations.clear();
        site.m_positionRotations.clear();
    }
}

void WriteControlPoint(std::uint8_t*& cursor, const CQLControlPoint& c)
{
    for (double v : {c.x, c.y, c.flag, c.leftX, c.leftY, c.leftFlag, c.rightX, c.rightY, c.rightFlag}) WriteFlat(cursor, v);
    WriteFlat<std::uint64_t>(cursor, 0);  // the owner means nothing in another process
}

CQLControlPoint ReadControlPoint(CQLFlatReader& reader, CQLObservedPattern* owner)
{
    CQLControlPoint c;
    for (double* v : {&c.x, &c.y, &c.flag, &c.leftX, &c.leftY, &c.leftFlag, &c.rightX, &c.rightY, &c.rightFlag})
        *v = reader.Read<double>();
    reader.ReadFlat8();
    c.owner = owner;
    return c;
}

// Bytes of the parts every kind writes: strings, crystal blocks and the profile points.
std::uint64_t SharedFlatSize(const CQLPattern& p)
{
    std::uint64_t size = 2 * (qlw::ToUtf16(p.m_filePath.GetString()).size() + qlw::ToUtf16(p.m_title.GetString()).size());
    size += CrystalBlocksSize(p.GetCrystal());
    size += FlatPointsSize(p.GetProfile(true));
    if (p.GetCrystal()) size += kOrientationSize;
    return size;
}

// A crystal whose cell no editor would take is left out, with an alert naming it; the block's
// other patterns are read on.
bool AcceptFlatPattern(const CQLPattern& p)
{
    const CQLCrystal* c = p.GetPatternType() == kPatternCrystal ? p.GetCrystal() : nullptr;
    return !c || c->AcceptCell(p.m_title);
}
}  // namespace

const std::uint8_t* CQLFlatReader::Take(std::uint64_t n)
{
    if (n > Remaining()) throw CQLFlatOverrun();
    const std::uint8_t* p = m_cursor;
    m_cursor += n;
    return p;
}

std::uint64_t CQLFlatReader::ReadCount(std::uint64_t recordSize)
{
    const std::uint64_t count = ReadFlat8();
    if (recordSize > 0 && count > Remaining() / recordSize) throw CQLFlatOverrun();
    return count;
}

CString CQLFlatReader::ReadString()
{
    const std::uint64_t units = ReadCount(2);
    if (units == 0) return CString();
    std::u16string text(size_t(units), u'\0');
    std::memcpy(text.data(), Take(2 * units), size_t(2 * units));
    return CString(qlw::FromUtf16(text).c_str());
}

void CQLFlatReader::ReadPoints(CQLProfile& out)
{
    const std::uint64_t count = ReadCount(16);
    out.clear();
    out.reserve(size_t(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const double x = Read<double>();
        const double y = Read<double>();
        out.push_back({x, y});
    }
}

std::uint64_t FlatStringSize(const CString& text)
{
    return 8 + 2 * std::uint64_t(qlw::ToUtf16(text.GetString()).size());
}

void WriteFlatString(std::uint8_t*& cursor, const CString& text)
{
    const std::u16string units = qlw::ToUtf16(text.GetString());
    WriteFlat<std::uint64_t>(cursor, units.size());
    std::memcpy(cursor, units.data(), 2 * units.size());
    cursor += 2 * units.size();
}

void WriteFlatPoints(std::uint8_t*& cursor, const CQLProfile& points)
{
    WriteFlat<std::uint64_t>(cursor, points.size());
    for (const CQLProfilePoint& p : points) {
        WriteFlat(cursor, p.x);
        WriteFlat(cursor, p.y);
    }
}

std::uint64_t CQLPattern::GetFlatSize() const
{
    return SharedFlatSize(*this);
}

std::uint64_t CQLPattern::Flatten(std::uint8_t*& /*cursor*/) const
{
    return 0;
}

void CQLPattern::WriteFlatBaseFields(std::uint8_t* image) const
{
    Put(image, 81, m_shown);
    Put(image, 84, m_color);
    Put(image, 88, m_lineStyle);
    Put(image, 92, m_markerStyle);
    Put(image, 96, m_lineWidth);
    Put(image, 100, m_markerSize);
    Put(image, 104, m_useShadow);
    Put<std::uint8_t>(image, 105, m_fill ? 1 : 0);
    Put(image, 108, m_fillOpacity);
    Put(image, 112, m_labelAlignment);
    Put(image, 116, m_labelColor);
    Put(image, 120, m_rotateLabels);
    Put(image, 121, m_labelArrowhead);
    Put(image, 122, m_labelFrame);
    Put(image, 123, m_labelOutline);
    Put(image, 124, m_labelShadow);
    Put(image, 128, m_xOffset);
    Put(image, 136, m_yOffset);
    Put(image, 144, m_fraction);
    Put(image, 152, m_yScale);
    Put(image, 161, m_showLabels);
    Put(image, 168, m_labelThreshold);
    Put(image, 176, m_labelDSpacing);
    Put(image, 177, m_labelHKL);
    Put(image, 178, m_labelPhaseName);
    Put(image, 179, m_labelRelIntensity);
    Put(image, 180, m_labelXUnits);
}

void CQLPattern::ReadFlatBaseFields(const std::uint8_t* image)
{
    m_shown = Get<std::uint8_t>(image, 81);
    m_color = Get<std::uint32_t>(image, 84);
    m_lineStyle = Get<std::uint32_t>(image, 88);
    m_markerStyle = Get<std::uint32_t>(image, 92);
    m_lineWidth = Get<float>(image, 96);
    m_markerSize = Get<float>(image, 100);
    m_useShadow = Get<std::uint8_t>(image, 104);
    m_fill = Get<std::uint8_t>(image, 105) != 0;
    m_fillOpacity = Get<float>(image, 108);
    m_labelAlignment = Get<std::uint32_t>(image, 112);
    m_labelColor = Get<std::uint32_t>(image, 116);
    m_rotateLabels = Get<std::uint8_t>(image, 120);
    m_labelArrowhead = Get<std::uint8_t>(image, 121);
    m_labelFrame = Get<std::uint8_t>(image, 122);
    m_labelOutline = Get<std::uint8_t>(image, 123);
    m_labelShadow = Get<std::uint8_t>(image, 124);
    m_xOffset = Get<double>(image, 128);
    m_yOffset = Get<double>(image, 136);
    m_fraction = Get<double>(image, 144);
    m_yScale = Get<double>(image, 152);
    m_showLabels = Get<std::uint8_t>(image, 161);
    m_labelThreshold = Get<double>(image, 168);
    m_labelDSpacing = Get<std::uint8_t>(image, 176);
    m_labelHKL = Get<std::uint8_t>(image, 177);
    m_labelPhaseName = Get<std::uint8_t>(image, 178);
    m_labelRelIntensity = Get<std::uint8_t>(image, 179);
    m_labelXUnits = Get<std::uint8_t>(image, 180);
    m_selected = 0;
    m_settingsPending = 0;
}

// Crystal: kind, image, path, title, crystal blocks, profile, orientation.
std::uint64_t CQLCrystalPattern::GetFlatSize() const
{
    return SharedFlatSize(*this) + 4 + kCrystalImageSize + 16;
}

std::uint64_t CQLCrystalPattern::Flatten(std::uint8_t*& cursor) const
{
    std::uint8_t* const start = cursor;
    WriteFlat<std::uint32_t>(cursor, kFlatCrystal);
    std::uint8_t image[kCrystalImageSize] = {};
    WriteFlatBaseFields(image);
    const CQLCrystal& c = m_crystal;
    Put(image, 208, std::uint8_t(c.m_state & 0xFF));
    const double cell[] = {c.m_a, c.m_b, c.m_c, c.m_alpha, c.m_beta, c.m_gamma, c.m_aStar, c.m_bStar,
                           c.m_cStar, c.m_alphaStar, c.m_betaStar, c.m_gammaStar, c.m_volume, c.m_density};
    for (size_t i = 0; i < std::size(cell); ++i) Put(image, 216 + 8 * i, cell[i]);
    for (size_t i = 0; i < 9; ++i) {
        Put(image, 328 + 8 * i, c.m_reciprocalMetric[i]);
        Put(image, 400 + 8 * i, c.m_metric[i]);
    }
    for (size_t i = 0; i < 3; ++i) Put(image, 472 + 8 * i, c.m_originShift[i]);
    Put<std::uint8_t>(image, 500, c.m_hasDisplacements ? 1 : 0);
    Put<std::uint8_t>(image, 501, c.m_useThermalEllipsoids ? 1 : 0);
    Put(image, 552, c.m_maxIntensity);
    Put(image, 560, c.m_particleSize);
    Put(image, 568, c.m_isotropicStrain);
    Put(image, 672, m_showOverlay);
    Put(image, 676, m_overlayColor);
    Put(image, 680, m_overlayLineStyle);
    Put(image, 684, m_overlayLineWidth);
    std::memcpy(cursor, image, sizeof image);
    cursor += sizeof image;

    WriteFlatString(cursor, m_filePath);
    WriteFlatString(cursor, m_title);
    WriteCrystalBlocks(cursor, &m_crystal);
    WriteFlatPoints(cursor, m_profile);
    WriteFlat(cursor, c.m_poAlignment);
    WriteFlat<std::uint32_t>(cursor, std::uint32_t(c.m_poGeometry));
    for (double v : c.m_poVector) WriteFlat(cursor, v);
    WriteFlat<std::uint32_t>(cursor, std::uint32_t(c.m_poVectorType));
    WriteFlat<std::uint8_t>(cursor, std::uint8_t(c.m_usePreferredOrientation & 0xFF));
    return std::uint64_t(cursor - start);
}

std::shared_ptr<CQLCrystalPattern> CQLCrystalPattern::CreateFromFlatBuffer(CQLFlatReader& reader)
{
    auto p = std::make_shared<CQLCrystalPattern>(false);
    const std::uint8_t* image = reader.Take(kCrystalImageSize);
    p->m_filePath = reader.ReadString();
    p->m_title = reader.ReadString();
    p->ReadFlatBaseFields(image);

    CQLCrystal& c = p->m_crystal;
    c = CQLCrystal();
    c.m_state = Get<std::uint8_t>(image, 208);
    double* cell[] = {&c.m_a, &c.m_b, &c.m_c, &c.m_alpha, &c.m_beta, &c.m_gamma, &c.m_aStar, &c.m_bStar,
                      &c.m_cStar, &c.m_alphaStar, &c.m_betaStar, &c.m_gammaStar, &c.m_volume, &c.m_density};
    for (size_t i = 0; i < std::size(cell); ++i) *cell[i] = Get<double>(image, 216 + 8 * i);
    for (size_t i = 0; i < 9; ++i) {
        c.m_reciprocalMetric[i] = Get<double>(image, 328 + 8 * i);
        c.m_metric[i] = Get<double>(image, 400 + 8 * i);
    }
    for (size_t i = 0; i < 3; ++i) c.m_originShift[i] = Get<double>(image, 472 + 8 * i);
    c.m_hasDisplacements = Get<std::uint8_t>(image, 500) != 0;
    c.m_useThermalEllipsoids = Get<std::uint8_t>(image, 501) != 0;
    c.m_maxIntensity = Get<double>(image, 552);
    c.m_particleSize = Get<double>(image, 560);
    c.m_isotropicStrain = Get<double>(image, 568);
    p->m_showOverlay = Get<std::uint8_t>(image, 672);
    p->m_overlayColor = Get<std::uint32_t>(image, 676);
    p->m_overlayLineStyle = Get<std::uint32_t>(image, 680);
    p->m_overlayLineWidth = Get<float>(image, 684);

    ReadCrystalBlocks(reader, &c);
    reader.ReadPoints(p->m_profile);
    c.m_poAlignment = reader.Read<double>();
    c.m_poGeometry = static_cast<CQLCrystal::PreferredOrientationType>(reader.Read<std::uint32_t>());
    for (double& v : c.m_poVector) v = reader.Read<double>();
    c.m_poVectorType = static_cast<CQLCrystal::QLVectorType>(reader.Read<std::uint32_t>());
    c.m_usePreferredOrientation = reader.Read<std::uint8_t>();
    return p;
}

// Mixture: kind, image, three empty crystal blocks, profile, components.
std::uint64_t CQLMixturePattern::GetFlatSize() const
{
    std::uint64_t size = SharedFlatSize(*this) + 4 + kMixtureImageSize + 16;
    for (const CQLPatternPtr& c : m_components) size += c->GetFlatSize();
    return size;
}

std::uint64_t CQLMixturePattern::Flatten(std::uint8_t*& cursor) const
{
    std::uint8_t* const start = cursor;
    WriteFlat<std::uint32_t>(cursor, kFlatMixture);
    std::uint8_t image[kMixtureImageSize] = {};
    WriteFlatBaseFields(image);
    Put(image, 208, m_fillUp);
    Put(image, 232, m_flag);
    Put(image, 233, m_balancing);
    std::memcpy(cursor, image, sizeof image);
    cursor += sizeof image;
    WriteCrystalBlocks(cursor, nullptr);
    WriteFlatPoints(cursor, m_profile);
    // Only the kinds that have a form are counted, so that the reader finds every one it is told of.
    const auto count = std::count_if(m_components.begin(), m_components.end(), [](const CQLPatternPtr& c) {
        const std::int32_t t = c->GetPatternType();
        return t == kPatternObserved || t == kPatternCrystal || t == kPatternMixture;
    });
    WriteFlat<std::uint64_t>(cursor, std::uint64_t(count));
    for (const CQLPatternPtr& c : m_components) c->Flatten(cursor);
    return std::uint64_t(cursor - start);
}

std::shared_ptr<CQLMixturePattern> CQLMixturePattern::CreateFromFlatBuffer(CQLFlatReader& reader, int depth)
{
    auto p = std::make_shared<CQLMixturePattern>(false);
    const std::uint8_t* image = reader.Take(kMixtureImageSize);
    p->m_fillUp = Get<std::uint8_t>(image, 208);
    p->m_flag = Get<std::uint8_t>(image, 232);
    p->m_balancing = Get<std::uint8_t>(image, 233);
    p->m_expanded = 1;
    ReadCrystalBlocks(reader, nullptr);
    reader.ReadPoints(p->m_profile);
    p->ReadFlatBaseFields(image);
    const std::uint64_t count = reader.ReadCount(4);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t kind = reader.Read<std::uint32_t>();
        // An unknown kind ends the block; a mixture missing a component is not complete.
        if (!IsFlatPatternKind(kind)) throw CQLFlatOverrun();
        if (CQLPatternPtr component = ReadFlatPattern(kind, reader, depth + 1))
            p->m_components.push_back(std::move(component));
    }
    return p;
}

// Observed: kind, image, title, path, control points, four curves, empty crystal blocks, points.
std::uint64_t CQLObservedPattern::GetFlatSize() const
{
    std::uint64_t size = SharedFlatSize(*this) + 4 + kObservedImageSize + 16 + 8 + 32;
    size += kControlPointSize * m_controlPoints.size();
    size += 16 * (m_backgroundCurve.size() + m_smoothedCurve.size() + m_processedCurve.size() +
                  m_interpolatedCurve.size());
    return size;
}

std::uint64_t CQLObservedPattern::Flatten(std::uint8_t*& cursor) const
{
    std::uint8_t* const start = cursor;
    WriteFlat<std::uint32_t>(cursor, kFlatObserved);
    std::uint8_t image[kObservedImageSize] = {};
    WriteFlatBaseFields(image);
    Put(image, 208, m_autoYScale);
    Put(image, 209, m_smoothing);
    Put(image, 210, m_overlaySmoothed);
    Put(image, 212, m_smoothingPoints);
    PutCurveStyle(image, 216, m_smoothedStyle, true);
    Put(image, 236, m_subtractBackground);
    Put(image, 237, m_previewSubtraction);
    PutCurveStyle(image, 288, m_backgroundStyle, false);
    PutCurveStyle(image, 304, m_extraStyle, true);
    std::memcpy(cursor, image, sizeof image);
    cursor += sizeof image;

    WriteFlatString(cursor, m_title);
    WriteFlatString(cursor, m_filePath);
    WriteFlat<std::uint64_t>(cursor, m_controlPoints.size());
    for (const CQLControlPoint& c : m_controlPoints) WriteControlPoint(cursor, c);
    for (const CQLProfile* curve : {&m_backgroundCurve, &m_smoothedCurve, &m_processedCurve, &m_interpolatedCurve})
        WriteFlatPoints(cursor, *curve);
    WriteCrystalBlocks(cursor, nullptr);
    WriteFlatPoints(cursor, m_profile);
    return std::uint64_t(cursor - start);
}

std::shared_ptr<CQLObservedPattern> CQLObservedPattern::CreateFromFlatBuffer(CQLFlatReader& reader)
{
    auto p = std::make_shared<CQLObservedPattern>(false);
    const std::uint8_t* image = reader.Take(kObservedImageSize);
    p->m_title = reader.ReadString();
    p->m_filePath = reader.ReadString();
    const std::uint64_t nodes = reader.ReadCount(kControlPointSize);
    p->m_controlPoints.reserve(nodes);
    for (std::uint64_t i = 0; i < nodes; ++i) p->m_controlPoints.push_back(ReadControlPoint(reader, p.get()));
    reader.ReadPoints(p->m_backgroundCurve);
    reader.ReadPoints(p->m_smoothedCurve);
    reader.ReadPoints(p->m_processedCurve);
    reader.ReadPoints(p->m_interpolatedCurve);
    p->m_autoYScale = Get<std::uint8_t>(image, 208);
    p->m_smoothing = Get<std::uint8_t>(image, 209);
    p->m_overlaySmoothed = Get<std::uint8_t>(image, 210);
    p->m_smoothingPoints = Get<std::int32_t>(image, 212);
    GetCurveStyle(image, 216, p->m_smoothedStyle, true);
    p->m_subtractBackground = Get<std::uint8_t>(image, 236);
    p->m_previewSubtraction = Get<std::uint8_t>(image, 237);
    GetCurveStyle(image, 288, p->m_backgroundStyle, false);
    GetCurveStyle(image, 304, p->m_extraStyle, true);
    p->ReadFlatBaseFields(image);
    ReadCrystalBlocks(reader, nullptr);
    reader.ReadPoints(p->m_profile);
    p->m_backgroundMonotone = false;  // looked up by walking until the chain is sampled here again
    return p;
}

bool IsFlatPatternKind(std::uint32_t kind)
{
    return kind == kFlatObserved || kind == kFlatCrystal || kind == kFlatMixture;
}

namespace {
CQLPatternPtr ReadFlatForm(std::uint32_t kind, CQLFlatReader& reader, int depth)
{
    // Unbounded nesting would run the stack out.
    if (depth > kMaxFlatNesting) throw CQLFlatOverrun();
    switch (kind) {
        case kFlatObserved: return CQLObservedPattern::CreateFromFlatBuffer(reader);
        case kFlatCrystal: return CQLCrystalPattern::CreateFromFlatBuffer(reader);
        case kFlatMixture: return CQLMixturePattern::CreateFromFlatBuffer(reader, depth);
        default: return nullptr;
    }
}
}  // namespace

// Every road a flat form takes into a document passes here: the drop on a structures list, the
// transfer block and the mixtures' components.
CQLPatternPtr ReadFlatPattern(std::uint32_t kind, CQLFlatReader& reader, int depth)
{
    CQLPatternPtr p = ReadFlatForm(kind, reader, depth);
    return p && AcceptFlatPattern(*p) ? p : nullptr;
}

std::vector<std::uint8_t> FlattenPatternList(const CQLPatternList& list, std::uint32_t processId,
                                             std::uint64_t listAddress)
{
    std::uint64_t size = kTransferHeaderSize;
    std::uint64_t count = 0;
    for (const CQLPatternPtr& p : list) {
        size += p->GetFlatSize();
        const std::int32_t t = p->GetPatternType();
        if (t == kPatternObserved || t == kPatternCrystal || t == kPatternMixture) ++count;
    }
    std::vector<std::uint8_t> block(size_t(size), 0);
    std::uint8_t* cursor = block.data();
    WriteFlat(cursor, processId);
    WriteFlat(cursor, listAddress);
    WriteFlat(cursor, count);
    for (const CQLPatternPtr& p : list) p->Flatten(cursor);
    return block;
}

CQLFlatDrop ReadFlatPatternList(const std::uint8_t* data, std::uint64_t size, std::uint32_t ownProcessId)
{
    CQLFlatDrop drop;
    CQLFlatReader reader(data, size);
    try {
        const std::uint32_t source = reader.Read<std::uint32_t>();
        drop.listAddress = reader.ReadFlat8();
        if (source == ownProcessId) {
            drop.sameProcess = true;
            return drop;
        }
        const std::uint64_t count = reader.ReadCount(4);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint32_t kind = reader.Read<std::uint32_t>();
            if (!IsFlatPatternKind(kind)) break;
            if (CQLPatternPtr p = ReadFlatPattern(kind, reader)) drop.patterns.push_back(std::move(p));
        }
    } catch (const CQLFlatOverrun&) {
        // A block cut short keeps the patterns read whole before the cut.
    }
    return drop;
}
