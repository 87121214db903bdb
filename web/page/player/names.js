// What both pages call an instrument: a melody track's waveform by its number, a drum by the name
// the library gives it.
export const waveNumber = (p_Instrument) => String(p_Instrument).padStart(2, '0');

export function instrumentName(p_Tw, p_Drums, p_Instrument) {
  return p_Drums ? (p_Tw.drumNames[p_Instrument] ?? `Drum ${p_Instrument}`) : `Wave ${waveNumber(p_Instrument)}`;
}
