#include "shell/core/RunView.h"

namespace quillmere {

RunView::~RunView() = default;

}  // namespace quillmere
