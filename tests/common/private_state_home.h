#pragma once

// Points XDG_STATE_HOME at a temporary folder of this process's own, removed
// at exit, so that the run records a test or benchmark writes never meet
// another's or the user's. Call it first thing in main, before any thread.
void usePrivateStateHome();

// The same, and a fresh folder for each GoogleTest test, so that tests of one
// program do not meet each other's records either. Call it after
// InitGoogleTest.
void usePrivateStateHomeForEachTest();
