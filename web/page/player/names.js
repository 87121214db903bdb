// What both pages call an instrument: a melody track's waveform and a drum by the names the library
// gives them (a module without waveform names gives "Wave NN").
export const waveNumber = (p_Instrument) => String(p_Instrument).padStart(2, '0');

export function instrumentName(p_Tw, p_Drums, p_Instrument) {
  if (p_Drums) return p_Tw.drumNames[p_Instrument] ?? `Drum ${p_Instrument}`;
  return p_Tw.waveNames?.[p_Instrument] ?? `Wave ${waveNumber(p_Instrument)}`;
}
