#include "gdi/font.h"
namespace ce {
std::shared_ptr<FontFace> Font::face() { return nullptr; }
}
