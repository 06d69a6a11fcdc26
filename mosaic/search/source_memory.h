#pragma once

// Drops what the sources remember from one cycle to the next (the newest post seen, cursors,
// pauses, a refusal already said) when another service configuration has become current
// since the last call, so the next request of a newly chosen source starts afresh. The wall
// and its known links stay. Called on the worker at the start of each cycle, where nothing
// else touches the sources' memory.
void forgetSourceMemoryAfterChange();
