// Player input: key and stick state into the controlled ship's turn inputs.
#pragma once

void ReadPlayerInput();
