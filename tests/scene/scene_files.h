// Scene tests that read and write files, in a temporary folder of their own.
#pragma once

#include "tests/framework/hx_tempdir.h"
#include "tests/scene/scene_fixture.h"

using HxSceneFiles = HxInTempFolder<HxScene>;
