#include "programs/WorldReport.h"

#include <d3d.h>

#include "engine/scene/RenderSwitches.h"
#include "engine/scene/SceneNode.h"

namespace {

bool SurfaceSize(IDirectDrawSurface7* texture, int* width, int* height) {
  if (texture == nullptr) return false;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (texture->GetSurfaceDesc(&desc) != DD_OK) return false;
  *width = static_cast<int>(desc.dwWidth);
  *height = static_cast<int>(desc.dwHeight);
  return true;
}

}  // namespace

void PrintWorldStats(std::FILE* out, const SceneNode* root, const RenderSwitches* switches) {
  int i = 0;
  for (const SceneNode* child = root != nullptr ? root->firstChild.get() : nullptr; child != nullptr;
       child = child->nextSibling.get(), ++i) {
    const DrawRecord empty;
    const DrawRecord& r = child->drawRecord != nullptr ? *child->drawRecord : empty;
    std::fprintf(out, "object %d kind %d vertices %d material %d ref %.4f %.4f %.4f\n", i, r.kind, r.vertexCount,
                 r.materialIndex, static_cast<double>(r.referencePoint.x), static_cast<double>(r.referencePoint.y),
                 static_cast<double>(r.referencePoint.z));
  }
  const int count = switches != nullptr ? switches->textureCount : 0;
  std::fprintf(out, "textures %d\n", count);
  for (int t = 0; t < count; ++t) {
    int w = 0, h = 0;
    if (SurfaceSize(switches->textures[t], &w, &h))
      std::fprintf(out, "texture %d %dx%d\n", t, w, h);
    else
      std::fprintf(out, "texture %d none\n", t);
  }
}
