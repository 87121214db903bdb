// Both pages take a song file dropped anywhere on them: the area shows that it will take the drop
// while a file is held over it, and the first file dropped goes to p_Open.
export function acceptDrops(p_Area, p_Open) {
  p_Area.addEventListener('dragover', (p_Event) => {
    p_Event.preventDefault();
    p_Area.classList.add('over');
  });
  p_Area.addEventListener('dragleave', () => p_Area.classList.remove('over'));
  p_Area.addEventListener('drop', (p_Event) => {
    p_Event.preventDefault();
    p_Area.classList.remove('over');
    const l_File = p_Event.dataTransfer.files[0];
    if (l_File) p_Open(l_File);
  });
}
