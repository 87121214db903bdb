// A press held on an element, the touch screen's stand-in for a modifier key's click, with the
// same timing and tolerance in both pages: the player's tracks and the composer's roll.
export const LONG_PRESS = 500; // ms a finger (or button) is held for a long press
export const SLOP = 10;        // CSS pixels it may wander meanwhile (further, and it is a drag)

// Calls p_Action when a pointer is held on p_Element for LONG_PRESS ms without moving off; the
// click that ends such a press is to be passed over (consume() says so, once), and a touch screen's
// own long-press menu is not shown.
export function longPress(p_Element, p_Action) {
  let l_Timer = 0, l_From = null, l_Done = false;
  const l_Cancel = () => { clearTimeout(l_Timer); l_Timer = 0; };
  p_Element.addEventListener('pointerdown', (p_Event) => {
    l_Cancel();
    l_Done = false;
    l_From = { x: p_Event.clientX, y: p_Event.clientY };
    l_Timer = setTimeout(() => { l_Timer = 0; l_Done = true; p_Action(); }, LONG_PRESS);
  });
  p_Element.addEventListener('pointermove', (p_Event) => {
    if (l_Timer && Math.hypot(p_Event.clientX - l_From.x, p_Event.clientY - l_From.y) > SLOP) l_Cancel();
  });
  for (const l_End of ['pointerup', 'pointercancel', 'pointerleave']) p_Element.addEventListener(l_End, l_Cancel);
  p_Element.addEventListener('contextmenu', (p_Event) => p_Event.preventDefault());
  return { consume: () => { const l_Was = l_Done; l_Done = false; return l_Was; } };
}
