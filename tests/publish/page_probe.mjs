// Looks into a published page as its user sees it. Playwright runs its
// page.evaluate() and waitForFunction() as if the user had clicked (they
// give the page user activation), and a page that the user has clicked may
// start sound: the player would start under any autoplay setting. These
// helpers evaluate through the DevTools protocol without a user gesture, so
// the browser's default autoplay policy holds, and read pixels the same way.
export async function pageProbe(context, tab) {
  const cdp = await context.newCDPSession(tab);
  const evaluate = async expression => {
    const answer = await cdp.send('Runtime.evaluate',
      { expression, returnByValue: true, awaitPromise: true, userGesture: false });
    if (answer.exceptionDetails) throw new Error(`${expression}: ${answer.exceptionDetails.text}`);
    return answer.result.value;
  };
  return {
    evaluate,
    // Polls expression until it gives something other than null.
    async waitFor(expression, timeoutMs) {
      for (const end = Date.now() + timeoutMs; Date.now() < end;) {
        const value = await evaluate(expression);
        if (value !== null && value !== undefined) return value;
        await new Promise(resolve => setTimeout(resolve, 100));
      }
      return null;
    },
    // The RGBA of the pixel at (x, y) of the screen.
    async pixel(x, y) {
      const png = await tab.screenshot({ clip: { x, y, width: 1, height: 1 } });
      return evaluate(`(async () => {
        const image = new Image();
        image.src = 'data:image/png;base64,${png.toString('base64')}';
        await image.decode();
        const canvas = document.createElement('canvas');
        canvas.width = image.width, canvas.height = image.height;
        const context2d = canvas.getContext('2d');
        context2d.drawImage(image, 0, 0);
        return Array.from(context2d.getImageData(0, 0, 1, 1).data);
      })()`);
    },
    // Whether the player element's play button and unmute button show, and
    // whether the page has had a user gesture.
    overlays(selector) {
      return evaluate(`(() => {
        const root = document.querySelector(${JSON.stringify(selector)}).shadowRoot;
        const shown = id => { const e = root && root.getElementById(id); return !!e && getComputedStyle(e).display !== 'none'; };
        return { play: shown('play-button'), unmute: shown('unmute-overlay'), activated: navigator.userActivation.hasBeenActive };
      })()`);
    },
  };
}
