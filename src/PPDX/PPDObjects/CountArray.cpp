#include "PPDX/PPDObjects/CountArray.h"

void CountArray::Add(PPDXElement const& element) {
  const bool orphan = element.IsOrphan();
  const bool hidden = !element.IsVisible();
  ++total_;
  if (orphan) ++orphans_;
  if (hidden) ++hidden_;
  if (orphan && hidden) ++hiddenOrphans_;
}

int64_t Count(CountArray const& counts, _DISPLAY_OPTIONS_ options) {
  switch (options) {
    // Hidden orphans are in both the orphan and the hidden counter; add them back once.
    case 0:
      return counts.Total() - counts.Orphans() - counts.Hidden() + counts.HiddenOrphans();
    case kDisplayOrphans:
      return counts.Total() - counts.Hidden();
    case kDisplayHidden:
      return counts.Total() - counts.Orphans();
    case kDisplayOrphans | kDisplayHidden:
      return counts.Total();
    default:
      return 0;
  }
}
