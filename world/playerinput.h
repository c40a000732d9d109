// Player input: key and stick state into the controlled ship's turn inputs.
#pragma once

struct SceneItem;

void ReadPlayerInput();

// The control routines of the player's ship: flight by keypad and stick,
// and the same with the demands kept as remaining angles.
void CONTROL_MAIN(SceneItem* item);
void CONTROL_FREE(SceneItem* item);

// The three turn inputs of the player's flight control: whole numbers,
// -180..180. SIM_MAIN reads them for the engine volume.
struct TurnInputs {
    float roll;  // A
    float pitch; // B
    float yaw;   // C
};
extern TurnInputs gTurnInputs;
