this.onEnterFrame = function ()
{
  if (_root.getBytesLoaded() == _root.getBytesTotal())
  {
    delete this.onEnterFrame;
    this.gotoAndPlay(2);
  }
  else
  {
    stop();
  }
}
