// The crystal model: cell and metrics, symmetry, sites, reflexion list, structure factors
// and intensities. Symmetry expansion and site lists are in QLCrystal.cpp, reflexion
// generation in QLCrystalReflexions.cpp, intensities in QLCrystalIntensities.cpp.
#pragma once

#include "DiffractionSettings.h"
#include "LXException.h"
#include "LXNumerics.h"
#include "QLReflexion.h"
#include "QLSite.h"
#include "SymmetryOperator.h"
#include "Win.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

LX_DECLARE_EXCEPTION(CLXXQLEngine, CLXXProduct, 22928);
LX_DECLARE_EXCEPTION(CLXXDiffractTempReflErr, CLXXQLEngine, 22929);
LX_DECLARE_EXCEPTION(CLXXDiffractNoASF, CLXXQLEngine, 22931);
LX_DECLARE_EXCEPTION(CLXXLotsOfRefs, CLXXQLEngine, 22932);
// A cell with a zero length or angles that cannot close it.
LX_DECLARE_EXCEPTION(CLXXDegenerateCell, CLXXQLEngine, 22960);
// A cell that the symmetry operators do not leave unchanged (a cubic group with a ≠ b).
LX_DECLARE_EXCEPTION(CLXXCellContradictsSymmetry, CLXXQLEngine, 22961);
// A crystal in a mixture whose density cannot be computed: its weight fraction stands for its volume.
LX_DECLARE_EXCEPTION(CLXXMixtureNoDensity, CLXXQLEngine, 22962);
// A cell read from a binary form that no editor would take (b = 1e308 from a damaged block).
LX_DECLARE_EXCEPTION(CLXXCellOutOfRange, CLXXQLEngine, 22963);

using QLIndexTriple = std::array<int, 3>;

class CQLPhaseTable;

class CQLCrystal
{
public:
    enum PreferredOrientationType : std::int32_t { kPOPlates = 1, kPONeedles = 2 };
    enum QLVectorType : std::int32_t { kReciprocalVector = 1, kDirectVector = 2 };

    // A reflexion while the list is being built.
    struct Candidate
    {
        std::int32_t h, k, l;
        double d;
        std::int32_t count;
        std::int32_t indexNorm;
    };

    explicit CQLCrystal(bool keepSettings = false);

    void Reset(bool keepSettings);
    void CopyFrom(const CQLCrystal& other);

    // Cell geometry. ComputeMetrics throws CLXXDegenerateCell for a cell that cannot exist.
    void ComputeMetrics();
    void ComputeReciprocalMetric();
    void ComputeDensity();
    // Whether the cell's lengths and angles lie within the ranges the editors take; when they do
    // not, reports CLXXCellOutOfRange naming the pattern `title` and answers false.
    bool AcceptCell(const CString& title) const;

    // Into [0, 1); values within 1e-5 of a cell edge become 0.
    static double WrapCoordinate(double v);

    // Sites. The expansion answers the indices of the sites whose images it joined into one atom
    // though they were farther apart than the fractional tolerance, for the readers to warn of.
    std::vector<std::size_t> ExpandSitesBySymmetry();
    void MergeCoincidentSites();
    void SplitMultiPositionSites();
    void AssignSiteGroups();

    // Symmetry
    void InstallOperatorsFromSymbol();
    void GetFullOperatorList(std::vector<CSymmetryOperator>& out) const;
    // When every site's positions fall into whole cosets of the lattice's centring translations
    // and no reflexion of the list is turned by them, the number of translations in a coset (the
    // identity's included) and per site the first position of each coset; 1 and no lists
    // otherwise. The members of a coset then add alike to every structure factor.
    std::size_t FindCentringCosets(std::vector<std::vector<std::uint32_t>>& representatives) const;
    int IdentifySpaceGroup();
    void RemoveCentringOperators();
    void AddCentringOperators();

    bool Recompute(const CDiffractionSettings& settings);

    // Reflexions
    bool GenerateReflexions(double dLimit, std::uint32_t maxCount);
    void ComputeIndexLimits(double q, int& hmax, int& kmax, int& lmax, long long& numTriples) const;
    void AddReflexionCandidate(int h, int k, int l, double dLimit, std::vector<Candidate>& candidates) const;
    bool IsLatticeAbsent(int h, int k, int l) const;
    int GetLatticePointCount() const;
    bool IsAllowedBySymmetry(int h, int k, int l) const;
    void GetEquivalentReflexions(const QLIndexTriple& hkl, bool withFriedel, std::vector<QLIndexTriple>& out) const;
    double DSpacing(int h, int k, int l) const;
    void ComputeReflexionPositions(const CDiffractionSettings& settings);
    std::shared_ptr<CQLReflexion> FindReflexion(int h, int k, int l) const;
    std::shared_ptr<CQLReflexion> FindReflexionsNear(double x, double tolerance) const;

    // Structure factors and intensities
    void CheckScatteringFactors();
    void ComputeIntensities(const CDiffractionSettings& settings);
    void ComputeReflexionIntensity(CQLReflexion& refl, const CDiffractionSettings& settings) const;
    double PreferredOrientationFactor(const CQLReflexion& refl) const;
    void RemoveZeroIntensityReflexions();
    void ComputeRelativeIntensities();
    double PeakWidthAt(const CDiffractionSettings& settings, double x) const;
    void UpdatePeakWidths(const CDiffractionSettings& settings);

    std::int32_t m_state = 1;
    double m_a = 8.0, m_b = 9.0, m_c = 10.0;                      // Å
    double m_alpha = 90.0, m_beta = 90.0, m_gamma = 90.0;         // degrees
    double m_aStar = 1.0, m_bStar = 1.0, m_cStar = 1.0;           // 1/Å
    double m_alphaStar = 90.0, m_betaStar = 90.0, m_gammaStar = 90.0;
    double m_volume = 0.0;                                        // Å³
    double m_density = 0.0;
    LXTypes::CMatrix33 m_reciprocalMetric;                         // G*
    LXTypes::CMatrix33 m_metric;                                   // G
    std::array<double, 3> m_originShift = {0.0, 0.0, 0.0};
    std::int32_t m_originChoice = 0;
    bool m_hasDisplacements = false;
    bool m_useThermalEllipsoids = true;
    std::vector<CQLSite> m_sites;
    std::vector<std::shared_ptr<CQLReflexion>> m_reflexions;
    double m_maxIntensity = 0.0;
    double m_particleSize = 10000.0;                              // Å
    double m_isotropicStrain = 0.0;
    std::int32_t m_usePreferredOrientation = 0;
    PreferredOrientationType m_poGeometry = kPOPlates;
    QLVectorType m_poVectorType = kReciprocalVector;
    std::array<double, 3> m_poVector = {0.0, 0.0, 0.0};
    double m_poAlignment = 0.9;
    CString m_spaceGroupSymbol = L"P 1";
    std::vector<CSymmetryOperator> m_operators;
    char m_latticeLetter = 'P';
    bool m_centrosymmetric = false;
    // The species names last reported as lacking scattering factors: the alert comes up again
    // only when they change, not at every recompute a setting or a slider step causes.
    CString m_reportedMissingFactors;
    // The group whose operators the cell was last reported not to fit: a cell edited step by step
    // is reported once, and again only after it has fitted or the group has changed.
    CString m_reportedCellMisfit;

private:
    class CEquivalentsMaker;
    // cutToCount false keeps every reflexion of the (possibly raised) limit, for a caller that
    // cuts to the count itself; raisedLimit tells whether d was raised to meet the count.
    bool GenerateReflexions(double dLimit, std::uint32_t maxCount, bool cutToCount, bool* raisedLimit);
    void EnumerateUniqueCandidates(double d, int hmax, int kmax, int lmax, long long numTriples,
                                   std::vector<Candidate>& candidates);
    // Merges symmetry-equivalent candidates in list order; returns the number of unique ones.
    std::size_t MergeEquivalentCandidates(std::vector<Candidate>& candidates, int hmax, int kmax, int lmax,
                                          const std::vector<std::array<double, 9>>& rotations) const;

    // What the structure-factor sum needs of a site, found once for all reflexions: its range in
    // the phase table, when its tensor turns with each image that tensor, and for each element on
    // the site the place of its scattering record in the list of distinct ones.
    struct SiteTerms
    {
        std::size_t first = 0, last = 0;
        const CQLAnisoThermalEllipsoid* perImage = nullptr;
        std::vector<std::uint32_t> records;
    };
    struct SiteTermList
    {
        std::vector<SiteTerms> sites;
        // Records with distinct form-factor coefficients: sites of one element share their f_X.
        std::vector<const CLXASF*> records;
        const SiteTerms& operator[](std::size_t i) const { return sites[i]; }
    };
    // perImageOnly: only sites whose tensor turns with each image take places in the table.
    SiteTermList MakeSiteTerms(bool perImageOnly) const;
    bool IsPerImageSite(const CQLSite& site) const;
    // f_X of every record at every reflexion, records.size() a reflexion; empty for neutrons.
    std::vector<double> FormFactorsOfRecords(const SiteTermList& terms, const CDiffractionSettings& settings) const;
    // A, B of every reflexion from the sites whose factor does not turn with each image; order
    // lists the reflexions in the order to visit them, cosetFirsts the positions of each site to sum
    // (all when empty).
    std::vector<double> SumPlainSites(const CDiffractionSettings& settings, const SiteTermList& terms,
                                      const std::vector<double>& formFactors, const std::vector<std::size_t>& order,
                                      const std::vector<std::vector<std::uint32_t>>& cosetFirsts) const;
    // The scattering factor of site i; formFactors: the reflexion's f_X of each record, or null.
    double SiteScatteringFactor(std::size_t i, double d, int radiation, const SiteTermList& terms,
                                const double* formFactors) const;
    // With a table, position sums come from its phase factors (terms index the table per site);
    // with plainSum, the sites other than those with a per-image tensor are already in it and
    // visit lists the others (null: every site).
    void ComputeReflexionIntensity(CQLReflexion& refl, const CDiffractionSettings& settings,
                                   const CQLPhaseTable* table, const SiteTermList& terms,
                                   const double* plainSum, const std::vector<std::size_t>* visit,
                                   const double* formFactors, const CEquivalentsMaker* equivalents = nullptr) const;
    // Lorentz-polarisation, phase and intensity of a reflexion from its structure factor A + iB;
    // equivalents as for PreferredOrientationFactor.
    void FinishReflexion(CQLReflexion& refl, const CDiffractionSettings& settings, double A, double B,
                         const CEquivalentsMaker* equivalents = nullptr) const;
    // The distinct rotations and plane-normal maps GetEquivalentReflexions works with, gathered
    // once for all the reflexions of a recompute (QLCrystalReflexions.cpp).
    std::shared_ptr<const CEquivalentsMaker> MakeEquivalentsMaker(bool withFriedel) const;
    void GetEquivalentReflexions(const QLIndexTriple& hkl, const CEquivalentsMaker& maker,
                                 std::vector<QLIndexTriple>& out) const;
    // equivalents: made by MakeEquivalentsMaker(true) for this crystal, or null to gather them here.
    double PreferredOrientationFactor(const CQLReflexion& refl, const CEquivalentsMaker* equivalents) const;
};
