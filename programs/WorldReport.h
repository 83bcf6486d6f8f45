// The world report of `tarnview-replay --stats`: one line per child of the
// scene root in drawing order, "object I kind K vertices N material M ref X Y Z",
// then "textures N" and "texture I WxH", or "texture I none" for an empty
// entry or a surface that will not tell its size.
#pragma once

#include <cstdio>

class SceneNode;
class RenderSwitches;

void PrintWorldStats(std::FILE* out, const SceneNode* root, const RenderSwitches* switches);
