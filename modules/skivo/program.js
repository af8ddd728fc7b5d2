Ship.Visible = true;
Ship.Top = 0;
Ship.Start();

function on_RepeatForShip() {
  const
    STEADY = 0,
    UP = -1,
    DOWN = 1;

  var iUpAndDown = STEADY;
  if (Keyboard.IsUp)   iUpAndDown = UP;
  if (Keyboard.IsDown) iUpAndDown = DOWN;

  Ship.Top = Ship.Top + iUpAndDown;

  if (Ship.Top < 0) Ship.Top = 0;
  if ((Ship.Top + Ship.Height) > Screen.Height) Ship.Top = Screen.Height - Ship.Height;
}

createRepeater( 5 * 1000 ).OnInterval = on_RepeatForShip;

//

Missile.Visible = false;

function on_RepeatForMissile() {
  const
    MISSILE_SPEED = 1;

  // 미사일은 화면에 하나만 허용하기로 한다.
  if (Missile.Visible) {
    Missile.Left = Missile.Left + MISSILE_SPEED;
    if (Missile.IsOutOfScreen) Missile.Visible = false;
    return;
  }

  if (Keyboard.IsFire && Ship.Visible) {
    Missile.Left = Ship.Width;
    Missile.Top  = Ship.Top + (Ship.Height / 2) - (Missile.Height / 2);
    Missile.Visible = true;
    soundFire();
  }
}

createRepeater( 2 * 1000 ).OnInterval = on_RepeatForMissile;

//

Asteroids.Start();

function on_RepeatForAsteroids() {
  const
    ASTEROIDS_SPEED = 1;

  Asteroids.Move( ASTEROIDS_SPEED );

  if (Asteroids.CheckCollision(Missile)) {
    Missile.Visible = false;
    soundBoom();
  }

  if (Asteroids.CheckCollision(Ship)) {
    Ship.Visible = false;
    soundBoom();
  }
}

createRepeater( 4 * 1000 ).OnInterval = on_RepeatForAsteroids;

// Stop 버턴이 클릭되거나 프로그램이 종료되면 한 번만 실행 됩니다.
function shutdown() {
  Ship.Stop();
  Asteroids.Stop();
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
}
