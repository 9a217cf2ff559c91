// The window's loupe: made on first use over the plot canvas, shown and hidden by its command.
#include "DiffractWnd.h"
#include "Loupe.h"

std::shared_ptr<CLoupe> CDiffractWnd::GetOrCreateLoupe() {
  if (m_pLoupe) return m_pLoupe;
  if (!m_hWnd || !m_pGraphicsPane || !m_pGraphicsPane->GetCanvas().m_hWnd) return nullptr;
  auto loupe = std::make_shared<CLoupe>();
  CImagingPane* canvas = &m_pGraphicsPane->GetCanvas();
  if (!loupe->Create(this, canvas)) return nullptr;
  // Any change of the plot makes the lens stale.
  std::weak_ptr<CLoupe> weak = loupe;
  canvas->SetPlotChangedListener([weak] {
    if (auto alive = weak.lock()) alive->PlotChanged();
  });
  m_pLoupe = loupe;
  return m_pLoupe;
}

void CDiffractWnd::ToggleLoupe() {
  if (auto loupe = GetOrCreateLoupe()) loupe->OnLoupeCommand(33585);
}

bool CDiffractWnd::IsLoupeVisible() const { return m_pLoupe && m_pLoupe->IsLoupeVisible(); }
