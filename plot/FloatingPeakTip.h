// The floating tip over a peak: the reflexion under the mouse with its phase and, expanded, its
// position, d spacing, intensity, multiplicity and width.
#pragma once

#include "LXFloatingInfoTip.h"
#include "QLPattern.h"
#include "QLReflexion.h"

#include <memory>

class CGraphRenderer;

class CFloatingPeakTip : public CFloatingInfoTip
{
public:
    CFloatingPeakTip();
    ~CFloatingPeakTip() override;

    BOOL OnInitDialog() override;
    void SetPeak(float dataX, const CQLPatternPtr& pattern);
    // The renderer is held weakly: a tip that outlives the drawing finds no renderer and keeps
    // its content rather than reading a deleted one.
    void SetRenderer(const std::weak_ptr<CGraphRenderer>& renderer, const CDiffractionSettings& settings);
    void SetTarget(CWnd* target) { m_target = target; }
    void UpdateContent();
    // Kills and sets the hiding timer again at its current interval.
    void RestartRefreshTimer();
    void DrawContent(Gdiplus::Graphics* graphics, const Gdiplus::RectF& balloon) override;

    // The reflexion within four pixels of the data x, searched without the pattern's x offset,
    // and the window placed over it; false, with nothing changed, when there is none.
    bool FindAndPlace();
    // Texts, widths and offsets from the current reflexion.
    void ComputeContent();

    const CString& GetPhaseName() const { return m_phaseName; }
    const CString& GetHKLText() const { return m_hklText; }
    const CString& GetValuesText() const { return m_valuesText; }
    const std::shared_ptr<CQLReflexion>& GetReflexion() const { return m_reflexion; }
    float GetTipWidth() const { return m_tipWidth; }
    int GetCompactOffset() const { return m_compactOffset; }
    int GetExpandedOffset() const { return m_expandedOffset; }

protected:
    // A background node of the plot beneath the tip takes the press before the tip does.
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    float Measure(const CString& text, float size) const;

    float m_dataX = 0;
    CQLPatternPtr m_pattern;
    CWnd* m_target = nullptr;
    std::shared_ptr<CQLReflexion> m_reflexion;
    std::weak_ptr<CGraphRenderer> m_renderer;
    CString m_phaseName, m_hklText, m_valuesText, m_valueLabels;
    int m_compactOffset = 0, m_expandedOffset = 0;
    float m_tipWidth = 160;
    std::unique_ptr<CDiffractionSettings> m_settings;
};
