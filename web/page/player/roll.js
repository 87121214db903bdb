// The song as a scrolling piano roll: the eight melody tracks by pitch above, the eight drum tracks
// as lanes below, the beat that sounds now highlighted.
const COLOURS = ['#ff6b6b', '#ffb347', '#ffe066', '#8ce99a', '#66d9e8', '#74c0fc', '#b197fc', '#f783ac'];
const BEATS_SHOWN = 64;
const LEAD_BEATS = 16;  // beats shown before the current one
const LANE = 14;        // height of a drum lane
const MELODY_TRACKS = 8;

export class PianoRoll {
  constructor(p_Canvas) {
    this.canvas = p_Canvas;
    this.context = p_Canvas.getContext('2d');
    this.song = null;
  }

  setSong(p_Song) {
    this.song = p_Song;
    const l_Notes = p_Song.tracks.slice(0, MELODY_TRACKS).flat().map((p_Note) => p_Note.note);
    this.lowest = l_Notes.length ? Math.min(...l_Notes) - 2 : 36;
    this.highest = l_Notes.length ? Math.max(...l_Notes) + 2 : 72;
  }

  // The beat the song stands at p_Seconds into it, the loop unrolled.
  beatAt(p_Seconds) {
    const l_Beat = Math.floor((p_Seconds * 1000) / this.song.tempo);
    const { loopStart, loopEnd } = this.song;
    if (l_Beat < loopEnd || loopEnd <= loopStart) return l_Beat;
    return loopStart + ((l_Beat - loopStart) % (loopEnd - loopStart));
  }

  draw(p_Seconds) {
    const l_C = this.context;
    const { width, height } = this.canvas;
    l_C.fillStyle = '#0d0f12';
    l_C.fillRect(0, 0, width, height);
    if (!this.song) return;
    const l_Melody = height - MELODY_TRACKS * LANE - 6;
    const l_BeatWidth = width / BEATS_SHOWN;
    const l_Now = this.beatAt(p_Seconds);
    const l_First = l_Now - LEAD_BEATS;
    const l_X = (p_Beat) => (p_Beat - l_First) * l_BeatWidth;
    const l_Step = l_Melody / (this.highest - this.lowest + 1);

    l_C.fillStyle = '#2b3440';
    l_C.fillRect(l_X(l_Now), 0, l_BeatWidth, height);
    l_C.fillStyle = '#3a4048';
    l_C.fillRect(0, l_Melody + 2, width, 1);
    this.song.tracks.forEach((p_Notes, p_Track) => {
      const l_Drum = p_Track >= MELODY_TRACKS;
      l_C.fillStyle = COLOURS[p_Track % MELODY_TRACKS];
      for (const l_Note of p_Notes) {
        const l_Length = l_Drum ? 1 : Math.max(1, l_Note.length);
        if (l_Note.beat + l_Length < l_First || l_Note.beat > l_First + BEATS_SHOWN) continue;
        const l_Y = l_Drum ? l_Melody + 6 + (p_Track - MELODY_TRACKS) * LANE : l_Melody - (l_Note.note - this.lowest + 1) * l_Step;
        const l_On = l_Note.beat <= l_Now && l_Now < l_Note.beat + l_Length;
        l_C.globalAlpha = l_On ? 1 : 0.6;
        l_C.fillRect(l_X(l_Note.beat) + 1, l_Y, l_Length * l_BeatWidth - 2, l_Drum ? LANE - 3 : Math.max(3, l_Step - 1));
      }
    });
    l_C.globalAlpha = 1;
  }
}
