// The song as a scrolling piano roll: the melody tracks by pitch above, the drum tracks as lanes
// below, the beat that sounds now highlighted. What it draws comes from the decoder: each track's
// notes (the events the song strikes) and the beat that plays at each time.
export const COLOURS = ['#ff6b6b', '#ffb347', '#ffe066', '#8ce99a', '#66d9e8', '#74c0fc', '#b197fc', '#f783ac'];
const BEATS_SHOWN = 64;
const LEAD_BEATS = 16;  // beats shown before the current one
const LANE = 14;        // height of a drum lane

export class PianoRoll {
  constructor(p_Canvas) {
    this.canvas = p_Canvas;
    this.context = p_Canvas.getContext('2d');
    this.song = null;
  }

  // p_Song: an open song of the decoder, kept open while it is drawn.
  setSong(p_Song) {
    this.song = p_Song;
    this.tracks = p_Song.tracks.map((p_Track, p_Index) => ({
      drums: p_Track.drums,
      notes: p_Song.events(p_Index).filter((p_Event) => p_Event.startsNote),
    }));
    this.melody = this.tracks.filter((p_Track) => !p_Track.drums);
    this.lanes = this.tracks.length - this.melody.length;
    const l_Keys = this.melody.flatMap((p_Track) => p_Track.notes.map((p_Note) => p_Note.key));
    this.lowest = l_Keys.length ? Math.min(...l_Keys) - 2 : 36;
    this.highest = l_Keys.length ? Math.max(...l_Keys) + 2 : 72;
  }

  draw(p_Seconds) {
    const l_C = this.context;
    const { width, height } = this.canvas;
    l_C.fillStyle = '#0d0f12';
    l_C.fillRect(0, 0, width, height);
    if (!this.song) return;
    const l_Melody = height - this.lanes * LANE - 6;
    const l_BeatWidth = width / BEATS_SHOWN;
    const l_Now = this.song.beatAt(p_Seconds);
    const l_First = l_Now - LEAD_BEATS;
    const l_X = (p_Beat) => (p_Beat - l_First) * l_BeatWidth;
    const l_Step = l_Melody / (this.highest - this.lowest + 1);

    l_C.fillStyle = '#2b3440';
    l_C.fillRect(l_X(l_Now), 0, l_BeatWidth, height);
    l_C.fillStyle = '#3a4048';
    l_C.fillRect(0, l_Melody + 2, width, 1);
    let l_Lane = 0;
    this.tracks.forEach((p_Track, p_Index) => {
      const l_LaneY = l_Melody + 6 + (p_Track.drums ? l_Lane++ : 0) * LANE;
      l_C.fillStyle = COLOURS[p_Index % COLOURS.length];
      for (const l_Note of p_Track.notes) {
        const l_Length = p_Track.drums ? 1 : l_Note.length;
        if (l_Note.beat + l_Length < l_First || l_Note.beat > l_First + BEATS_SHOWN) continue;
        const l_Y = p_Track.drums ? l_LaneY : l_Melody - (l_Note.key - this.lowest + 1) * l_Step;
        const l_On = l_Note.beat <= l_Now && l_Now < l_Note.beat + l_Length;
        l_C.globalAlpha = l_On ? 1 : 0.6;
        l_C.fillRect(l_X(l_Note.beat) + 1, l_Y, l_Length * l_BeatWidth - 2, p_Track.drums ? LANE - 3 : Math.max(3, l_Step - 1));
      }
    });
    l_C.globalAlpha = 1;
  }
}
