// Player input: key and stick state into the controlled ship's turn inputs.
#pragma once

void ReadPlayerInput();

// The three turn inputs of the player's flight control: whole numbers,
// -180..180. SIM_MAIN reads them for the engine volume.
struct TurnInputs {
    float roll;  // A
    float pitch; // B
    float yaw;   // C
};
extern TurnInputs gTurnInputs;
