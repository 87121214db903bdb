// The song's bytes in text, for a share link and the autosave: deflated (raw) and in base64url.
// Reading a link is bounded before any work: a link longer than MAX_LINK is refused unread, and
// inflating stops at MAX_INFLATED bytes. Each way a link can fail has one plain sentence.
export const MAX_LINK = 2e6;  // characters of a link this page makes or reads (below a browser's own 2 MiB)
const MAX_INFLATED = 16 * 1024 * 1024;    // more than the largest song file the format can count
const ALPHABET = /^[A-Za-z0-9_-]*$/;
export const LINK_PREFIX = '#song=';

// Why a link holds no song, as the message line says it.
export class LinkError extends Error {}
const refuse = (p_Why) => { throw new LinkError(`This link does not hold a song: ${p_Why}.`); };

export const toBase64Url = (p_Bytes) => {
  let l_Text = '';
  for (let l_At = 0; l_At < p_Bytes.length; l_At += 0x8000) l_Text += String.fromCharCode(...p_Bytes.subarray(l_At, l_At + 0x8000));
  return btoa(l_Text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
};
// Base64url (no padding) as bytes; a last lone character (a cut link's) is dropped, not refused.
export const fromBase64Url = (p_Text) => {
  const l_Text = p_Text.length % 4 === 1 ? p_Text.slice(0, -1) : p_Text;
  return Uint8Array.from(atob(l_Text.replace(/-/g, '+').replace(/_/g, '/')), (p_Char) => p_Char.charCodeAt(0));
};
const through = async (p_Bytes, p_Stream) => new Uint8Array(await new Response(new Blob([p_Bytes]).stream().pipeThrough(p_Stream)).arrayBuffer());
export const deflate = (p_Bytes) => through(p_Bytes, new CompressionStream('deflate-raw'));

// The link part that holds p_Bytes (a song's file).
export async function songFragment(p_Bytes) { return `${LINK_PREFIX}${toBase64Url(await deflate(p_Bytes))}`; }

// The song file's bytes a link's fragment holds; throws a LinkError with the reason it holds none.
// fflate's streaming inflate tells data that ends too soon from data that is no deflate at all.
export async function readFragment(p_Fragment) {
  if (p_Fragment.length > MAX_LINK) refuse(`it is longer than the ${MAX_LINK / 1e6} MB a song link can be`);
  const l_Text = p_Fragment.slice(LINK_PREFIX.length);
  if (!ALPHABET.test(l_Text) || l_Text.length === 0) refuse('it is not a song link');
  const { Inflate } = await import('../vendor/fflate.js');
  const l_Parts = [];
  let l_Size = 0;
  const l_Inflate = new Inflate((p_Chunk) => {
    l_Size += p_Chunk.length;
    if (l_Size > MAX_INFLATED) refuse('it unpacks to more than any song holds');
    l_Parts.push(p_Chunk);
  });
  try {
    l_Inflate.push(fromBase64Url(l_Text), true);
  } catch (p_Error) {
    if (p_Error instanceof LinkError) throw p_Error;
    refuse(p_Error.code === 0 ? 'it is cut short' : 'it is not a song link');
  }
  const l_Bytes = new Uint8Array(l_Size);
  let l_At = 0;
  for (const l_Part of l_Parts) {
    l_Bytes.set(l_Part, l_At);
    l_At += l_Part.length;
  }
  return l_Bytes;
}
