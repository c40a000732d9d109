// The default message handler of scene items.
#pragma once

struct SceneItem;

void HandleItemMessages(SceneItem* item);
