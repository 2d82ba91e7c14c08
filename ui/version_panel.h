#pragma once

namespace VersionPanel {

// Rewrites the three version rows from the process-wide link.
void Refresh();

}  // namespace VersionPanel
